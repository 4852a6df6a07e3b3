#include "plugin/KalthornePlugin.h"

#include <cstring>
#include <memory>

KalthornePlugin::KalthornePlugin(OfxImageEffectHandle handle) : OFX::ImageEffect(handle) {
#define KALTHORNE_FETCH_HANDLE(Type, Name) m_##Name = fetch##Type(KALTHORNE_PARAM_KEY(Name));
  KALTHORNE_PARAM_HANDLES(KALTHORNE_FETCH_HANDLE)
#undef KALTHORNE_FETCH_HANDLE
  m_OutputClip = fetchClip(kOfxImageEffectOutputClipName);
  m_SourceClip = fetchClip(kOfxImageEffectSimpleSourceClipName);
}

// Pass-through until the GPU render path is in place.
void KalthornePlugin::render(const OFX::RenderArguments& args) {
  std::unique_ptr<OFX::Image> dst(m_OutputClip->fetchImage(args.time));
  if (!dst) OFX::throwSuiteStatusException(kOfxStatFailed);
  std::unique_ptr<OFX::Image> src(m_SourceClip->isConnected() ? m_SourceClip->fetchImage(args.time) : nullptr);
  if (!src) return;
  if (src->getPixelComponents() != dst->getPixelComponents() || src->getPixelDepth() != dst->getPixelDepth())
    OFX::throwSuiteStatusException(kOfxStatErrImageFormat);
  const OfxRectI& w = args.renderWindow;
  const std::size_t rowBytes = std::size_t(w.x2 - w.x1) * dst->getPixelComponentCount() * sizeof(float);
  for (int y = w.y1; y < w.y2; ++y) {
    void* d = dst->getPixelAddress(w.x1, y);
    const void* s = src->getPixelAddress(w.x1, y);
    if (d && s && dst->getPixelAddress(w.x2 - 1, y) && src->getPixelAddress(w.x2 - 1, y)) std::memcpy(d, s, rowBytes);
  }
}
