// Pixel processors: the render window, clipped to the destination, split
// into horizontal strips over the host's threads.
#include "ofx/ofxsProcessing.h"

#include <algorithm>

namespace OFX {

using Private::bytesPerComponent;

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
  if (!_dstPixelData || x < _dstBounds.x1 || x >= _dstBounds.x2 || y < _dstBounds.y1 || y >= _dstBounds.y2)
    return nullptr;
  return static_cast<char*>(_dstPixelData) + std::ptrdiff_t(y - _dstBounds.y1) * _dstRowBytes +
         std::ptrdiff_t(x - _dstBounds.x1) * _dstPixelBytes;
}

void PixelProcessor::process() {
  if (!_dstPixelData || _dstPixelBytes <= 0) return;
  // A window reaching past the image must not write past its memory.
  _clippedWindow.x1 = std::max(_renderWindow.x1, _dstBounds.x1);
  _clippedWindow.y1 = std::max(_renderWindow.y1, _dstBounds.y1);
  _clippedWindow.x2 = std::min(_renderWindow.x2, _dstBounds.x2);
  _clippedWindow.y2 = std::min(_renderWindow.y2, _dstBounds.y2);
  if (_clippedWindow.x1 >= _clippedWindow.x2 || _clippedWindow.y1 >= _clippedWindow.y2) return;
  preProcess();
  const unsigned int rows = unsigned(_clippedWindow.y2 - _clippedWindow.y1);
  multiThread(std::min(MultiThread::getNumCPUs(), rows));
  postProcess();
}

void PixelProcessor::multiThreadFunction(unsigned int threadIndex, unsigned int threadMax) {
  if (threadMax == 0) return;
  const int rows = _clippedWindow.y2 - _clippedWindow.y1;
  const int chunk = (rows + int(threadMax) - 1) / int(threadMax);
  OfxRectI win = _clippedWindow;
  win.y1 = _clippedWindow.y1 + int(threadIndex) * chunk;
  win.y2 = std::min(win.y1 + chunk, _clippedWindow.y2);
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
  if (!_srcPixelData || x < _srcBounds.x1 || x >= _srcBounds.x2 || y < _srcBounds.y1 || y >= _srcBounds.y2)
    return nullptr;
  return static_cast<const char*>(_srcPixelData) + std::ptrdiff_t(y - _srcBounds.y1) * _srcRowBytes +
         std::ptrdiff_t(x - _srcBounds.x1) * _srcPixelBytes;
}

}  // namespace OFX
