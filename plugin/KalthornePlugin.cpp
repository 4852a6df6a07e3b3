#include "plugin/KalthornePlugin.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "pipeline/cuda_context_guard.h"
#include "pipeline/device_code_probe.h"
#include "pipeline/device_memory_turns.h"
#include "pipeline/device_work.h"
#include "pipeline/lost_devices.h"
#include "pipeline/texture_pitch_compress_expand.h"
#include "plugin/cuda_device_choice.h"
#include "plugin/frame_buffers.h"
#include "plugin/image_bounds.h"
#include "plugin/ofx_param_access.h"
#include "plugin/render_options_fill.h"

#include "plugin/KalthorneBrewNatronCUDA.h"

namespace {

const char* const kNoNatronText = "Brew : Unable to process Clips. Unable to detect Natron";
const char* const kNoOutputImageText = "Brew : Natron gave Target clip with wrong render scale properties";
const char* const kMismatchText =
    "Brew : Natron gave Input and Output images with different channel counts or pixel depths";
const char* const kComponentsText = "Brew : Kalthorne only supports RGB and RGBA clips";
const char* const kDepthText = "Brew : Kalthorne only supports floating point pixel depths";
const char* const kSizeText = "Brew : Natron gave Input and Output images of different sizes";
const char* const kRowBytesText = "Brew : Natron gave images with invalid row bytes. Unable to process footage";
const char* const kGpuFailedText = "Brew : GPU processing failed. Unable to process footage";
const char* const kNoMemoryText =
    "Brew : the frame does not fit in the GPU's free memory, even with no other frame rendering. Unable to "
    "process footage";
const char* const kMemoryWaitText =
    "Brew : other frames held the GPU's memory for a minute. Unable to process footage";
static_assert(kDeviceMemoryWaitSeconds == 60, "the text names the wait");
const char* const kDeviceLostText =
    "Kalthorne : the CUDA device stopped working. Restart the host to process footage again";

int channelCountOf(OFX::PixelComponentEnum components) {
    switch (components) {
        case OFX::ePixelComponentRGBA: return 4;
        case OFX::ePixelComponentRGB: return 3;
        default: return 0;
    }
}

bool sameRect(const OfxRectI& a, const OfxRectI& b) {
    return a.x1 == b.x1 && a.y1 == b.y1 && a.x2 == b.x2 && a.y2 == b.y2;
}

bool isEmpty(const OfxRectI& r) { return r.x2 <= r.x1 || r.y2 <= r.y1; }

kalthorne::FrameView frameOf(OFX::Image* image, int width, int height, int channelCount) {
    kalthorne::FrameView v;
    v.base = image->getPixelData();
    v.rowBytes = image->getRowBytes();
    v.rows = height;
    v.rowFloats = static_cast<std::size_t>(width) * static_cast<std::size_t>(channelCount);
    return v;
}

}  // namespace

KalthornePlugin::KalthornePlugin(OfxImageEffectHandle handle) : OFX::ImageEffect(handle) {
    if (!gHostIsNatron) {
        sendMessage(OFX::Message::eMessageMessage, "", kNoNatronText);
    } else {
        m_HostIsNatron = true;
        const kalthorne::CudaDeviceChoice choice = kalthorne::chooseCudaDevice(device_code_probe_kernel());
        for (const std::string& text : choice.messages) sendMessage(OFX::Message::eMessageMessage, "", text);
        m_CudaDevice = choice.device;
        m_GpuReady = choice.ready;
    }

#define KALTHORNE_FETCH_HANDLE(Type, Name) m_##Name = fetch##Type(KALTHORNE_PARAM_KEY(Name));
    KALTHORNE_PARAM_HANDLES(KALTHORNE_FETCH_HANDLE)
#undef KALTHORNE_FETCH_HANDLE
    m_OutputClip = fetchClip(kOfxImageEffectOutputClipName);
    m_SourceClip = fetchClip(kOfxImageEffectSimpleSourceClipName);

    kalthorne::ParamReaderCurrent reader;
    kalthorne::OfxParamControl control;
    m_RenderOptions = kalthorne::firstFill(*this, reader, control, m_CudaDevice);
}

void KalthornePlugin::getFormatResolution(SourceFormatEnum format, int* width, int* height,
                                          double* pixelAspectRatio) {
    kalthorne::formatResolution(format, width, height, pixelAspectRatio);
}

bool KalthornePlugin::identityAt(double time) {
    if (!m_HostIsNatron || !m_GpuReady) return true;
    kalthorne::ParamReaderAtTime reader(time);
    return kalthorne::isNeutralLook(kalthorne::readLookSwitches(*this, reader));
}

bool KalthornePlugin::isIdentity(const OFX::IsIdentityArguments& args, OFX::Clip*& identityClip,
                                 double& /*identityTime*/) {
    if (!identityAt(args.time)) return false;
    identityClip = m_SourceClip;
    return true;
}

bool KalthornePlugin::isIdentity(const OFX::IsIdentityArguments& args, OFX::Clip*& identityClip,
                                 double& identityTime, int& /*view*/, std::string& /*plane*/) {
    return isIdentity(args, identityClip, identityTime);
}

void KalthornePlugin::changedClip(const OFX::InstanceChangedArgs& /*args*/, const std::string& /*clipName*/) {
    m_SrcClipChanged->setValue(false);
}

// On the host's thread: trimming the pools is runtime work, which may leave
// a context current there; the thread gets its own back.
void KalthornePlugin::purgeCaches() {
    CudaContextGuard keepHostContext;
    release_cached_device_memory();
}

void KalthornePlugin::failRender(const char* message, OfxStatus status) {
    setPersistentMessage(OFX::Message::eMessageError, "", message);
    OFX::throwSuiteStatusException(status);
    throw OFX::Exception::Suite(status);  // not reached for a failure status
}

void KalthornePlugin::fillWithBlack(OFX::PixelProcessorFilterBase& processor, const OfxPointD& renderScale,
                                    const OfxRectI& renderWindow, void* dstPixelData, const OfxRectI& dstBounds,
                                    OFX::PixelComponentEnum dstComponents, int dstComponentCount,
                                    OFX::BitDepthEnum dstBitDepth, int dstRowBytes) {
    // Never touch memory outside the image, whatever window the host asks for.
    OfxRectI window;
    window.x1 = std::max(renderWindow.x1, dstBounds.x1);
    window.y1 = std::max(renderWindow.y1, dstBounds.y1);
    window.x2 = std::min(renderWindow.x2, dstBounds.x2);
    window.y2 = std::min(renderWindow.y2, dstBounds.y2);
    if (isEmpty(window)) return;
    processor.setDstImg(dstPixelData, dstBounds, dstComponents, dstComponentCount, dstBitDepth, dstRowBytes);
    processor.setRenderWindow(window);
    processor.setRenderScale(renderScale);
    processor.process();
}

void KalthornePlugin::render(const OFX::RenderArguments& args) {
    if (isEmpty(args.renderWindow)) return;

    // Declared in this order so the source is released first, then the output.
    std::unique_ptr<OFX::Image> dst(m_OutputClip->fetchImage(args.time));
    if (!dst) failRender(kNoOutputImageText, kOfxStatFailed);
    std::unique_ptr<OFX::Image> src;
    if (m_SourceClip && m_SourceClip->isConnected()) src.reset(m_SourceClip->fetchImage(args.time));
    // No image, filled or processed, may span more than an int each way. A
    // source of other bounds is a size mismatch, whichever image is too
    // large; bounds too large in themselves have no text of the effect's
    // own, and no other text names their cause, so the render just fails.
    int width = 0, height = 0;
    if (!kalthorne::boundsExtent(dst->getBounds(), width, height)) {
        if (src && !sameRect(src->getBounds(), dst->getBounds())) failRender(kSizeText, kOfxStatErrImageFormat);
        OFX::throwSuiteStatusException(kOfxStatFailed);
    }

    if (!src) {
        const int channels = channelCountOf(dst->getPixelComponents());
        if (channels == 0) OFX::throwSuiteStatusException(kOfxStatErrUnsupported);
        // The filler writes 32-bit floats; anything else would be overrun.
        if (dst->getPixelDepth() != OFX::eBitDepthFloat) failRender(kDepthText, kOfxStatErrUnsupported);
        OFX::BlackFiller<float> filler(*this);
        fillWithBlack(filler, args.renderScale, args.renderWindow, dst->getPixelData(), dst->getBounds(),
                      dst->getPixelComponents(), channels, dst->getPixelDepth(), dst->getRowBytes());
        return;
    }

    if (src->getPixelDepth() != dst->getPixelDepth() || src->getPixelComponents() != dst->getPixelComponents())
        failRender(kMismatchText, kOfxStatErrImageFormat);
    const int channels = channelCountOf(dst->getPixelComponents());
    if (channels == 0) failRender(kComponentsText, kOfxStatErrUnsupported);
    // The images themselves too: a host may deliver 8- or 16-bit images under
    // a clip that says float (source and output depths are equal by now).
    if (m_OutputClip->getPixelDepth() != OFX::eBitDepthFloat || dst->getPixelDepth() != OFX::eBitDepthFloat)
        failRender(kDepthText, kOfxStatErrUnsupported);
    if (!sameRect(src->getBounds(), dst->getBounds())) failRender(kSizeText, kOfxStatErrImageFormat);

    renderInternal(args, src.get(), dst.get(), channels, width, height);
}

void KalthornePlugin::renderInternal(const OFX::RenderArguments& args, OFX::Image* src, OFX::Image* dst,
                                     int channelCount, int width, int height) {
    if (width <= 0 || height <= 0) return;

    const kalthorne::FrameView from = frameOf(src, width, height, channelCount);
    const kalthorne::FrameView to = frameOf(dst, width, height, channelCount);
    if (!from.rowsAreDisjoint() || !to.rowsAreDisjoint() || !from.base || !to.base)
        failRender(kRowBytesText, kOfxStatErrImageFormat);

    if (!m_HostIsNatron || !m_GpuReady) {
        kalthorne::copyFrame(from, to);
        return;
    }
    // A device that met a fault stays unusable until the host restarts: its
    // frames pass through, and each instance says so once.
    if (is_cuda_device_lost(m_CudaDevice)) {
        kalthorne::copyFrame(from, to);
        if (!m_DeviceLostPosted.exchange(true))
            setPersistentMessage(OFX::Message::eMessageError, "", kDeviceLostText);
        return;
    }

    TextureOptionsStruct options = m_RenderOptions;
    kalthorne::ParamReaderAtTime reader(args.time);
    if (kalthorne::fillRenderOptions(*this, reader, width, height, channelCount, options) ==
        kalthorne::RenderPlan::CopySource) {
        kalthorne::copyFrame(from, to);
        return;
    }

    // The pipeline takes packed rows; padded or bottom-up images go through
    // packed copies so no row is read or written past its end.
    std::vector<float> packedSrc, packedDst;
    const float* srcPixels = static_cast<const float*>(from.base);
    float* dstPixels = static_cast<float*>(to.base);
    if (!from.isPacked()) {
        packedSrc = kalthorne::packFrame(from);
        srcPixels = packedSrc.data();
    }
    if (!to.isPacked()) {
        packedDst.resize(to.rowFloats * static_cast<std::size_t>(to.rows));
        dstPixels = packedDst.data();
    }
    // A frame waiting for memory asks the host whether it still wants it.
    const auto hostAborted = [](void* effect) { return static_cast<const KalthornePlugin*>(effect)->abort(); };
    if (!texture_pitch_compress_expand(srcPixels, dstPixels, options, hostAborted, this)) {
        switch (texture_pitch_compress_expand_failure()) {
            case kFrameOutOfMemory: failRender(kNoMemoryText, kOfxStatErrMemory);
            case kFrameWaitedForMemory: failRender(kMemoryWaitText, kOfxStatErrMemory);
            // The host asked for it: the frame fails without a word.
            case kFrameAborted: throw OFX::Exception::Suite(kOfxStatFailed);
            default: failRender(kGpuFailedText, kOfxStatFailed);
        }
    }
    if (!to.isPacked()) kalthorne::unpackFrame(packedDst, to);
}
