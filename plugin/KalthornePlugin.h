// The effect instance: one per effect node. It settles once whether it can
// process footage (Natron host, a usable CUDA device), holds a handle for
// every parameter and the first render options, and renders frames.
#pragma once

#include <atomic>
#include <string>

#include "ofx/ofxsImageEffect.h"
#include "ofx/ofxsProcessing.h"
#include "pipeline/texture_options.h"
#include "plugin/param_handle_set.h"
#include "plugin/source_formats.h"

// The parameter handles are public members (m_InputGamut, ...), inherited
// from KalthorneParamHandles; the interplay and Look-file code use them.
class KalthornePlugin : public OFX::ImageEffect, public KalthorneParamHandles {
public:
    explicit KalthornePlugin(OfxImageEffectHandle handle);
    ~KalthornePlugin() override = default;

    void render(const OFX::RenderArguments& args) override;
    bool isIdentity(const OFX::IsIdentityArguments& args, OFX::Clip*& identityClip,
                    double& identityTime) override;
    bool isIdentity(const OFX::IsIdentityArguments& args, OFX::Clip*& identityClip, double& identityTime,
                    int& view, std::string& plane) override;
    void changedParam(const OFX::InstanceChangedArgs& args, const std::string& paramName) override;
    void changedClip(const OFX::InstanceChangedArgs& args, const std::string& clipName) override;
    // Gives the device memory the renders keep between frames back to the device.
    void purgeCaches() override;

    void getFormatResolution(SourceFormatEnum format, int* width, int* height, double* pixelAspectRatio);

    OFX::Clip* m_OutputClip = nullptr;
    OFX::Clip* m_SourceClip = nullptr;

    // Settled by the constructor, read-only afterwards: renders on many
    // threads read them without a lock.
    bool m_HostIsNatron = false;
    int m_CudaDevice = 0;
    bool m_GpuReady = false;
    TextureOptionsStruct m_RenderOptions{};
    // The lost-device message went out (renders run on many threads).
    std::atomic<bool> m_DeviceLostPosted{false};

private:
    bool identityAt(double time);
    // width, height: the output's extent, measured once by render().
    void renderInternal(const OFX::RenderArguments& args, OFX::Image* src, OFX::Image* dst, int channelCount,
                        int width, int height);
    void fillWithBlack(OFX::PixelProcessorFilterBase& processor, const OfxPointD& renderScale,
                       const OfxRectI& renderWindow, void* dstPixelData, const OfxRectI& dstBounds,
                       OFX::PixelComponentEnum dstComponents, int dstComponentCount,
                       OFX::BitDepthEnum dstBitDepth, int dstRowBytes);
    [[noreturn]] void failRender(const char* message, OfxStatus status);
};
