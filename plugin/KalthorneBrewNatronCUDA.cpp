// The effect's factory: what the host learns about the effect before any
// instance exists.
#include "plugin/KalthorneBrewNatronCUDA.h"

#include <stdexcept>

#include "nfd/nfd.h"
#include "params/describe_params.h"
#include "pipeline/device_work.h"
#include "plugin/KalthornePlugin.h"
#include "plugin/effect_description.h"

bool gHostIsNatron = false;

void KalthornePluginFactory::load() { OFX::ofxsThreadSuiteCheck(); }

// Nothing the bundle made on the device may outlive it: the host may close
// the library next, or load it again and make everything afresh.
void KalthornePluginFactory::unload() { destroy_device_pools(); }

void KalthornePluginFactory::describe(OFX::ImageEffectDescriptor& desc) {
  if (OFX::getImageEffectHostDescription()->isNatron) gHostIsNatron = true;

  desc.setLabel(kPluginLabel);
  desc.setPluginGrouping(kPluginGrouping);
  desc.setPluginDescription(kalthorne::kEffectDescription);

  desc.addSupportedContext(OFX::eContextFilter);
  desc.addSupportedContext(OFX::eContextGeneral);
  desc.addSupportedBitDepth(OFX::eBitDepthFloat);

  desc.setRenderThreadSafety(OFX::eRenderFullySafe);
  desc.setHostFrameThreading(true);

  desc.setSupportsMultiResolution(false);
  desc.setSupportsTiles(false);
  desc.setRenderTwiceAlways(false);
  desc.setSupportsMultipleClipPARs(false);
  desc.setSupportsMultipleClipDepths(false);

  // The Look-file button needs the dialog layer; find out now rather than
  // when the user presses it.
  if (NFD_Init() == NFD_OKAY) {
    NFD_Quit();
    return;
  }
  const char* error = NFD_GetError();
  throw std::runtime_error(error ? error : "the file dialog layer cannot start");
}

void KalthornePluginFactory::describeInContext(OFX::ImageEffectDescriptor& desc, OFX::ContextEnum context) {
  describeKalthorneParams(desc, context);
}

OFX::ImageEffect* KalthornePluginFactory::createInstance(OfxImageEffectHandle handle, OFX::ContextEnum) {
  return new KalthornePlugin(handle);
}

// Built while the bundle loads, before the host calls an entry point.
static KalthornePluginFactory gKalthornePluginFactory(kPluginIdentifier, kPluginVersionMajor, kPluginVersionMinor);
static const bool gKalthornePluginRegistered =
    (OFX::PluginFactories::plugIDs().push_back(&gKalthornePluginFactory), true);
