#ifndef KALTHORNE_OFXS_PROCESSING_H
#define KALTHORNE_OFXS_PROCESSING_H
// Pixel processors: a render window split into horizontal strips, one per
// host thread.

#include <algorithm>
#include <cstddef>

#include "ofxsImageEffect.h"
#include "ofxsMultiThread.h"

namespace OFX {

class PixelProcessor : public MultiThread::Processor {
 public:
  explicit PixelProcessor(ImageEffect& effect);
  ~PixelProcessor() override = default;

  // The destination, either an image or its raw description.
  void setDstImg(Image* img);
  void setDstImg(void* pixelData, const OfxRectI& bounds, PixelComponentEnum components, int componentCount,
                 BitDepthEnum depth, int rowBytes);
  void setRenderWindow(const OfxRectI& window) { _renderWindow = window; }
  void setRenderScale(const OfxPointD& scale) { _renderScale = scale; }
  const OfxRectI& getRenderWindow() const { return _renderWindow; }

  // Processes the part of the render window that lies inside the
  // destination bounds; an empty window does nothing.
  void process();

  virtual void preProcess() {}
  virtual void multiThreadProcessImages(OfxRectI procWindow) = 0;
  virtual void postProcess() {}

  void multiThreadFunction(unsigned int threadIndex, unsigned int threadMax) override;

 protected:
  void* getDstPixelAddress(int x, int y) const;

  ImageEffect& _effect;
  void* _dstPixelData = nullptr;
  OfxRectI _dstBounds{0, 0, 0, 0};
  PixelComponentEnum _dstPixelComponents = ePixelComponentNone;
  int _dstPixelComponentCount = 0;
  BitDepthEnum _dstBitDepth = eBitDepthNone;
  int _dstPixelBytes = 0;
  int _dstRowBytes = 0;
  OfxRectI _renderWindow{0, 0, 0, 0};
  OfxPointD _renderScale{1.0, 1.0};

 private:
  OfxRectI _clippedWindow{0, 0, 0, 0};
};

// Base of processors that read a source image into the destination.
class PixelProcessorFilterBase : public PixelProcessor {
 public:
  explicit PixelProcessorFilterBase(ImageEffect& effect) : PixelProcessor(effect) {}
  void setSrcImg(const Image* img);
  void setSrcImg(const void* pixelData, const OfxRectI& bounds, PixelComponentEnum components, int componentCount,
                 BitDepthEnum depth, int rowBytes);

 protected:
  const void* getSrcPixelAddress(int x, int y) const;

  const void* _srcPixelData = nullptr;
  OfxRectI _srcBounds{0, 0, 0, 0};
  PixelComponentEnum _srcPixelComponents = ePixelComponentNone;
  int _srcPixelComponentCount = 0;
  BitDepthEnum _srcBitDepth = eBitDepthNone;
  int _srcPixelBytes = 0;
  int _srcRowBytes = 0;
};

// Writes zero into every component of every pixel of its window.
template <class PIX>
class BlackFiller : public PixelProcessorFilterBase {
 public:
  explicit BlackFiller(ImageEffect& effect) : PixelProcessorFilterBase(effect) {}

  void multiThreadProcessImages(OfxRectI procWindow) override {
    const std::size_t n = std::size_t(procWindow.x2 - procWindow.x1) * std::size_t(_dstPixelComponentCount);
    for (int y = procWindow.y1; y < procWindow.y2; ++y) {
      if (_effect.abort()) break;
      PIX* dst = static_cast<PIX*>(getDstPixelAddress(procWindow.x1, y));
      if (dst) std::fill(dst, dst + n, PIX());
    }
  }
};

}  // namespace OFX

#endif
