#include "film_test_support.h"

#include <random>

#include "pipeline/film_brew_print_cuda.h"
#include "tests/pipeline/device_buffer.h"

namespace filmtest {

TextureOptionsStruct plain_negative_record(int width, int height) {
  TextureOptionsStruct o{};
  o.inputGamut = 11;
  o.frameWidth = width;
  o.frameHeight = height;
  o.channelCount = 4;
  o.cameraStock = 2;
  o.negCastIndex = 6504;
  o.brewDminRedScaled = o.brewDminGreenScaled = o.brewDminBlueScaled = 0.584f * 0.125f;
  o.brewDmaxRedScaled = o.brewDmaxGreenScaled = o.brewDmaxBlueScaled = 0.838f * 2.0f;
  o.negBlendComplement = 1.0f;
  o.silverRedScaled = o.silverGreenScaled = o.silverBlueScaled = 1.0f;
  o.pullPushScaled = (0.5f + 0.3f) * 125.0f;
  o.developScaled = 0.9f * 1.111111111f;
  o.agitate = 3;
  o.replenishScaled = 0.2f;
  o.spectrumBand = 0.5f;
  o.diffuseMidHiScaled = 1.0f;
  o.negGreyMid = 0.4f;
  o.pixelCountFactor = (float)width * 0.00041666668f * (float)height;
  o.printGreyMid = 0.4f;
  o.printOff = 1;
  o.printProfile = 0;
  o.printCastIndex = 6504;
  o.printSaturation = 1.0f;
  o.printerBlackPointRedScaled = o.printerBlackPointGreenScaled = o.printerBlackPointBlueScaled = 0.141f * 0.125f;
  o.printerLightRedScaled = o.printerLightGreenScaled = o.printerLightBlueScaled = 0.909f * 2.0f;
  o.printBlendComplement = 1.0f;
  o.printFilmicPivotRGain = 1.0f / (0.72f - 0.01f);
  o.printFilmicSlopeRScaled = 2.0f;
  o.displayScale = 100.0f;
  return o;
}

StageResult run_stage(const TextureOptionsStruct& o, const std::vector<float>& rgba) {
  DeviceFloats a(rgba), b(std::vector<float>(rgba.size(), -7.0f));
  StageResult r;
  {
    const RenderStream render(o.cudaDevice);  // waits for the stage's work as it goes
    r.ran = film_brew_print_cuda(a.get(), b.get(), o, render.work());
  }
  r.a = a.download();
  r.b = b.download();
  return r;
}

std::vector<float> random_frame(int width, int height, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> u(0.0f, 1.0f);
  std::vector<float> f((size_t)width * height * 4);
  for (float& v : f) v = u(rng);
  return f;
}

int count_launches(const std::string& kernel) {
  int n = 0;
  for (const cudasim::Launch& l : cudasim::launch_trace()) n += l.kernel == kernel;
  return n;
}

}  // namespace filmtest
