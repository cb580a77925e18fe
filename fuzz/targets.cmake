# grovane_fuzz_target(NAME SOURCE LIBRARIES...), one line per fuzz target.
