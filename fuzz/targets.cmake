# grovane_fuzz_target(NAME SOURCE LIBRARIES...), one line per fuzz target.
if(TARGET grovane_vst2_effect) # not in 32-bit Windows builds
  grovane_fuzz_target(vst2_dispatch_fuzz vst2_dispatch_fuzz.cpp grovane_vst2_effect)
endif()
grovane_fuzz_target(state_chunk_fuzz state_chunk_fuzz.cpp grovane_core)
grovane_fuzz_target(png_memory_fuzz png_memory_fuzz.cpp grovane_raster)
grovane_fuzz_target(wav_reader_fuzz wav_reader_fuzz.cpp grovane_wav)
