#include "tools/Renderer.h"

#include <algorithm>
#include <vector>

namespace
{
// One sample type's buffers: a block of frames per channel and the pointer arrays the
// plug-in receives (never empty, so a plug-in without inputs still gets a valid array).
template <typename Sample> struct BlockBuffers
{
    std::vector<std::vector<Sample>> in, out;
    std::vector<Sample*> inPtr, outPtr;

    BlockBuffers(int inputs, int outputs, int frames)
        : in(static_cast<std::size_t>(inputs), std::vector<Sample>(static_cast<std::size_t>(frames))),
          out(static_cast<std::size_t>(outputs), std::vector<Sample>(static_cast<std::size_t>(frames))),
          inPtr(static_cast<std::size_t>(std::max(inputs, 1)), nullptr),
          outPtr(static_cast<std::size_t>(std::max(outputs, 1)), nullptr)
    {
        for (std::size_t c = 0; c < in.size(); ++c)
            inPtr[c] = in[c].data();
        for (std::size_t c = 0; c < out.size(); ++c)
            outPtr[c] = out[c].data();
    }
};

bool ProcessBlock(HostedPlugin& plugin, BlockBuffers<float>& b, int frames)
{
    return plugin.Process(b.inPtr.data(), b.outPtr.data(), frames);
}

bool ProcessBlock(HostedPlugin& plugin, BlockBuffers<double>& b, int frames)
{
    return plugin.ProcessDouble(b.inPtr.data(), b.outPtr.data(), frames);
}

template <typename Sample>
bool Render(HostedPlugin& plugin, const AudioData& input, AudioData& output, std::string& error)
{
    const int inputs = plugin.InputCount();
    const int outputs = plugin.OutputCount();
    const int block = plugin.BlockSize();
    const std::size_t frames = input.Frames();
    BlockBuffers<Sample> buffers(inputs, outputs, block);
    output = AudioData{};
    output.sampleRate = input.sampleRate;
    output.Resize(outputs, frames);

    for (std::size_t start = 0; start < frames; start += static_cast<std::size_t>(block))
    {
        const int n =
            static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(block), frames - start));
        for (int c = 0; c < inputs; ++c)
        {
            Sample* dst = buffers.in[static_cast<std::size_t>(c)].data();
            const int source = input.ChannelCount() == 1 ? 0 : c;
            if (source < input.ChannelCount())
            {
                const double* src = input.channels[static_cast<std::size_t>(source)].data() + start;
                for (int i = 0; i < n; ++i)
                    dst[i] = static_cast<Sample>(src[i]);
            }
            else
            {
                std::fill(dst, dst + n, Sample(0));
            }
        }
        // A plug-in that leaves an output unwritten yields silence there, not stale samples.
        for (auto& channel : buffers.out)
            std::fill(channel.begin(), channel.begin() + n, Sample(0));
        if (!ProcessBlock(plugin, buffers, n))
        {
            error = "the plug-in could not process a block (not resumed, or it changed its channel counts)";
            return false;
        }
        for (int c = 0; c < outputs; ++c)
        {
            const Sample* src = buffers.out[static_cast<std::size_t>(c)].data();
            double* dst = output.channels[static_cast<std::size_t>(c)].data() + start;
            for (int i = 0; i < n; ++i)
                dst[i] = static_cast<double>(src[i]);
        }
    }
    return true;
}
} // namespace

bool RenderAudio(HostedPlugin& plugin, const AudioData& input, bool useDouble, AudioData& output,
                 std::string& error)
{
    if (useDouble && !plugin.CanDouble())
    {
        error = "plug-in does not offer 64-bit processing";
        return false;
    }
    return useDouble ? Render<double>(plugin, input, output, error)
                     : Render<float>(plugin, input, output, error);
}
