// Pixel processors: the render window, clipped to the destination, split
// into horizontal strips over the host's threads.
#include "ofx/ofxsProcessing.h"

#include <algorithm>
#include <climits>
#include <cstdint>

namespace OFX {

using Private::bytesPerComponent;

namespace {
// Address of pixel (x, y) of an image whose rows may be padded or run bottom
// up (negative row bytes); nothing outside its bounds.
const void* pixelAddress(const void* data, const OfxRectI& bounds, int rowBytes, int pixelBytes, int x, int y) {
  if (!data || x < bounds.x1 || x >= bounds.x2 || y < bounds.y1 || y >= bounds.y2) return nullptr;
  return static_cast<const char*>(data) + (std::ptrdiff_t(y) - bounds.y1) * rowBytes +
         (std::ptrdiff_t(x) - bounds.x1) * pixelBytes;
}
}  // namespace

PixelProcessor::PixelProcessor(ImageEffect& effect) : _effect(effect) {}

void PixelProcessor::setDstImg(Image* img) {
  if (!img) {
    setDstImg(nullptr, OfxRectI{0, 0, 0, 0}, ePixelComponentNone, 0, eBitDepthNone, 0);
    return;
  }
  setDstImg(img->getPixelData(), img->getBounds(), img->getPixelComponents(), img->getPixelComponentCount(),
            img->getPixelDepth(), img->getRowBytes());
}

void PixelProcessor::setDstImg(void* pixelData, const OfxRectI& bounds, PixelComponentEnum components,
                               int componentCount, BitDepthEnum depth, int rowBytes) {
  _dstPixelData = pixelData;
  _dstBounds = bounds;
  _dstPixelComponents = components;
  _dstPixelComponentCount = componentCount;
  _dstBitDepth = depth;
  _dstPixelBytes = componentCount * bytesPerComponent(depth);
  _dstRowBytes = rowBytes;
}

void* PixelProcessor::getDstPixelAddress(int x, int y) const {
  return const_cast<void*>(pixelAddress(_dstPixelData, _dstBounds, _dstRowBytes, _dstPixelBytes, x, y));
}

void PixelProcessor::process() {
  if (!_dstPixelData || _dstPixelBytes <= 0) return;
  // A window reaching past the image must not write past its memory.
  _clippedWindow.x1 = std::max(_renderWindow.x1, _dstBounds.x1);
  _clippedWindow.y1 = std::max(_renderWindow.y1, _dstBounds.y1);
  _clippedWindow.x2 = std::min(_renderWindow.x2, _dstBounds.x2);
  _clippedWindow.y2 = std::min(_renderWindow.y2, _dstBounds.y2);
  if (_clippedWindow.x1 >= _clippedWindow.x2 || _clippedWindow.y1 >= _clippedWindow.y2) return;
  // A window wider or taller than an int can hold is no image's.
  if (int64_t(_clippedWindow.x2) - _clippedWindow.x1 > INT_MAX ||
      int64_t(_clippedWindow.y2) - _clippedWindow.y1 > INT_MAX)
    return;
  preProcess();
  const unsigned int rows = unsigned(_clippedWindow.y2 - _clippedWindow.y1);
  multiThread(std::min(MultiThread::getNumCPUs(), rows));
  postProcess();
}

void PixelProcessor::multiThreadFunction(unsigned int threadIndex, unsigned int threadMax) {
  if (threadMax == 0) return;
  const int64_t rows = int64_t(_clippedWindow.y2) - _clippedWindow.y1;
  const int64_t chunk = (rows + threadMax - 1) / threadMax;
  const int64_t first = _clippedWindow.y1 + int64_t(threadIndex) * chunk;
  if (first >= _clippedWindow.y2) return;
  OfxRectI win = _clippedWindow;
  win.y1 = int(first);
  win.y2 = int(std::min<int64_t>(first + chunk, _clippedWindow.y2));
  if (win.y1 < win.y2) multiThreadProcessImages(win);
}

void PixelProcessorFilterBase::setSrcImg(const Image* img) {
  if (!img) {
    setSrcImg(nullptr, OfxRectI{0, 0, 0, 0}, ePixelComponentNone, 0, eBitDepthNone, 0);
    return;
  }
  setSrcImg(img->getPixelData(), img->getBounds(), img->getPixelComponents(), img->getPixelComponentCount(),
            img->getPixelDepth(), img->getRowBytes());
}

void PixelProcessorFilterBase::setSrcImg(const void* pixelData, const OfxRectI& bounds,
                                         PixelComponentEnum components, int componentCount, BitDepthEnum depth,
                                         int rowBytes) {
  _srcPixelData = pixelData;
  _srcBounds = bounds;
  _srcPixelComponents = components;
  _srcPixelComponentCount = componentCount;
  _srcBitDepth = depth;
  _srcPixelBytes = componentCount * bytesPerComponent(depth);
  _srcRowBytes = rowBytes;
}

const void* PixelProcessorFilterBase::getSrcPixelAddress(int x, int y) const {
  return pixelAddress(_srcPixelData, _srcBounds, _srcRowBytes, _srcPixelBytes, x, y);
}

}  // namespace OFX
