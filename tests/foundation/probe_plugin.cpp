// A small effect built on the support layer alone, for exercising the layer
// through a host: its actions throw, message, fill and write on request.
// What it does is chosen by the host property "ProbeThrowIn" (which action
// throws at describe and create time) and by its int parameter "Mode"
// (what render does).
#include <memory>
#include <new>
#include <stdexcept>

#include "ofx/ofxsImageEffect.h"
#include "ofx/ofxsProcessing.h"

namespace {

std::string hostSays(const char* property) {
  return OFX::PropertySet(OFX::Private::gHost->host).propGetString(property, false);
}

void throwIfAsked(const std::string& action) {
  const std::string what = hostSays("ProbeThrowIn");
  if (what == action + ":runtime") throw std::runtime_error("probe");
  if (what == action + ":bad_alloc") throw std::bad_alloc();
  if (what == action + ":suite") OFX::throwSuiteStatusException(kOfxStatErrFormat);
}

// Fails on one strip of the window only, on a worker thread.
class FailingProcessor : public OFX::PixelProcessor {
 public:
  explicit FailingProcessor(OFX::ImageEffect& e) : OFX::PixelProcessor(e) {}
  void multiThreadProcessImages(OfxRectI window) override {
    if (window.y1 > _renderWindow.y1) throw std::runtime_error("strip failed");
  }
};

class ProbeEffect : public OFX::ImageEffect {
 public:
  explicit ProbeEffect(OfxImageEffectHandle h) : OFX::ImageEffect(h) {
    mode_ = fetchIntParam("Mode");
    output_ = fetchClip(kOfxImageEffectOutputClipName);
    throwIfAsked("create");
  }

  void render(const OFX::RenderArguments& args) override {
    switch (mode_->getValueAtTime(args.time)) {
      case 1: OFX::throwSuiteStatusException(kOfxStatErrImageFormat); break;
      case 2: throw std::bad_alloc();
      case 3: throw std::runtime_error("render failed");
      case 4: throw 42;
      case 5: throw OFX::Exception::Suite(kOfxStatOK);
      case 6: OFX::throwSuiteStatusException(kOfxStatErrMemory); break;
      case 7: fetchDoubleParam("Mode"); break;           // wrong kind
      case 8: fetchIntParam("NoSuchParam"); break;       // missing
      case 9:
        sendMessage(OFX::Message::eMessageMessage, "", "100% done %s %d");
        setPersistentMessage(OFX::Message::eMessageError, "id7", "Brew : persistent");
        break;
      case 10: writeInBlock(); break;  // a strict host refuses writes in a render
      case 13: {
        std::unique_ptr<OFX::Image> img(output_->fetchImage(args.time));
        FailingProcessor p(*this);
        p.setDstImg(img.get());
        p.setRenderWindow(args.renderWindow);
        p.process();
        break;
      }
      case 12: {
        // The image is released on the way out of the exception.
        std::unique_ptr<OFX::Image> img(output_->fetchImage(args.time));
        throw std::runtime_error("after fetch");
      }
      default: {
        std::unique_ptr<OFX::Image> img(output_->fetchImage(args.time));
        if (!img) OFX::throwSuiteStatusException(kOfxStatFailed);
        OFX::BlackFiller<float> filler(*this);
        filler.setDstImg(img->getPixelData(), img->getBounds(), img->getPixelComponents(),
                         img->getPixelComponentCount(), img->getPixelDepth(), img->getRowBytes());
        filler.setRenderWindow(args.renderWindow);
        filler.setRenderScale(args.renderScale);
        filler.process();
      }
    }
  }

  void changedParam(const OFX::InstanceChangedArgs& args, const std::string& name) override {
    sendMessage(OFX::Message::eMessageLog, "", name + " " + std::to_string(int(args.reason)) + " " +
                                                 std::to_string(args.time));
  }

  bool isIdentity(const OFX::IsIdentityArguments& args, OFX::Clip*& clip, double& time) override {
    if (mode_->getValueAtTime(args.time) != 20) return false;
    clip = fetchClip(kOfxImageEffectSimpleSourceClipName);
    time = args.time - 1;
    return true;
  }

 private:
  void writeInBlock() {
    beginEditBlock("Probe block");
    mode_->setValue(11);
    endEditBlock();
  }

  OFX::IntParam* mode_ = nullptr;
  OFX::Clip* output_ = nullptr;
};

class ProbeFactory : public OFX::PluginFactoryHelper<ProbeFactory> {
 public:
  ProbeFactory() : OFX::PluginFactoryHelper<ProbeFactory>("org.example.FoundationProbe", 2, 7) {}
  void load() override { OFX::ofxsThreadSuiteCheck(); }
  void describe(OFX::ImageEffectDescriptor& desc) override {
    throwIfAsked("describe");
    desc.addSupportedContext(OFX::eContextFilter);
    desc.addSupportedBitDepth(OFX::eBitDepthFloat);
  }
  void describeInContext(OFX::ImageEffectDescriptor& desc, OFX::ContextEnum) override {
    throwIfAsked("describeInContext");
    desc.defineClip(kOfxImageEffectSimpleSourceClipName)->addSupportedComponent(OFX::ePixelComponentRGBA);
    desc.defineClip(kOfxImageEffectOutputClipName)->addSupportedComponent(OFX::ePixelComponentRGBA);
    OFX::IntParamDescriptor* mode = desc.defineIntParam("Mode");
    mode->setDefault(0);
    OFX::ChoiceParamDescriptor* withHint = desc.defineChoiceParam("WithHint");
    withHint->setHint("Own hint");
    withHint->appendOption("A", " first");
    withHint->appendOption("B", "second");
    withHint->appendOption("C");
    OFX::ChoiceParamDescriptor* noHint = desc.defineChoiceParam("NoHint");
    noHint->appendOption("A", "x");
    noHint->appendOption("B", "y");
  }
  OFX::ImageEffect* createInstance(OfxImageEffectHandle h, OFX::ContextEnum) override { return new ProbeEffect(h); }
};

ProbeFactory gProbeFactory;
const bool gProbeRegistered = (OFX::PluginFactories::plugIDs().push_back(&gProbeFactory), true);

}  // namespace
