#include "describe_params.h"

#include "param_catalogue.h"

namespace {

using kalthorne::params::AttrOrder;
using kalthorne::params::ParamSpec;
using kalthorne::params::Setting;

void setTexts(OFX::ParamDescriptor& p, const ParamSpec& s) {
  if (s.label) p.setLabel(s.label);
  if (s.hint) p.setHint(s.hint);
}

void hideIfHidden(OFX::ParamDescriptor& p, const ParamSpec& s) {
  if (!s.attributes.visible) {
    p.setEnabled(false);
    p.setIsSecret(true);
  }
}

void setAnimation(OFX::ValueParamDescriptor& p, const ParamSpec& s) {
  if (s.attributes.animates != Setting::HostDefault) p.setAnimates(s.attributes.animates == Setting::On);
  if (s.attributes.evaluateOnChange != Setting::HostDefault)
    p.setEvaluateOnChange(s.attributes.evaluateOnChange == Setting::On);
}

OFX::ParamDescriptor* describeDouble(OFX::ImageEffectDescriptor& desc, const ParamSpec& s) {
  OFX::DoubleParamDescriptor* p = desc.defineDoubleParam(s.name);
  setTexts(*p, s);
  hideIfHidden(*p, s);
  if (s.attributes.digits) p->setDigits(s.attributes.digits);
  p->setDefault(s.defaultValue);
  const bool incrementFirst = s.attributes.order == AttrOrder::IncrementBeforeRange;
  if (incrementFirst && s.attributes.increment != 0.0) p->setIncrement(s.attributes.increment);
  p->setRange(s.low, s.high);
  if (!incrementFirst && s.attributes.increment != 0.0) p->setIncrement(s.attributes.increment);
  p->setDisplayRange(s.low, s.high);
  setAnimation(*p, s);
  return p;
}

OFX::ParamDescriptor* describeInt(OFX::ImageEffectDescriptor& desc, const ParamSpec& s) {
  OFX::IntParamDescriptor* p = desc.defineIntParam(s.name);
  const bool hiddenLast = s.attributes.order == AttrOrder::HiddenLast;
  setTexts(*p, s);
  if (!hiddenLast) hideIfHidden(*p, s);
  p->setDefault(static_cast<int>(s.defaultValue));
  p->setRange(static_cast<int>(s.low), static_cast<int>(s.high));
  p->setDisplayRange(static_cast<int>(s.low), static_cast<int>(s.high));
  if (hiddenLast) hideIfHidden(*p, s);
  setAnimation(*p, s);
  return p;
}

OFX::ParamDescriptor* describeBoolean(OFX::ImageEffectDescriptor& desc, const ParamSpec& s) {
  OFX::BooleanParamDescriptor* p = desc.defineBooleanParam(s.name);
  const bool on = s.defaultValue != 0.0;
  switch (s.attributes.order) {
    case AttrOrder::HiddenFirst:
      hideIfHidden(*p, s);
      p->setDefault(on);
      setTexts(*p, s);
      break;
    case AttrOrder::HiddenLast:
      setTexts(*p, s);
      p->setDefault(on);
      hideIfHidden(*p, s);
      break;
    default:
      setTexts(*p, s);
      hideIfHidden(*p, s);
      p->setDefault(on);
      break;
  }
  setAnimation(*p, s);
  return p;
}

// The hint must be set before the options: appending an option extends the
// hint with that option's line.
OFX::ParamDescriptor* describeChoice(OFX::ImageEffectDescriptor& desc, const ParamSpec& s) {
  OFX::ChoiceParamDescriptor* p = desc.defineChoiceParam(s.name);
  setTexts(*p, s);
  for (int i = 0; i < s.attributes.optionCount; ++i)
    p->appendOption(s.attributes.options[i].label, s.attributes.options[i].help, "");
  p->setDefault(static_cast<int>(s.defaultValue));
  hideIfHidden(*p, s);
  setAnimation(*p, s);
  return p;
}

OFX::ParamDescriptor* describePushButton(OFX::ImageEffectDescriptor& desc, const ParamSpec& s) {
  OFX::PushButtonParamDescriptor* p = desc.definePushButtonParam(s.name);
  setTexts(*p, s);
  hideIfHidden(*p, s);
  return p;
}

OFX::ParamDescriptor* describeParam(OFX::ImageEffectDescriptor& desc, const ParamSpec& s) {
  switch (s.kind) {
    case kalthorne::params::ParamKind::Double: return describeDouble(desc, s);
    case kalthorne::params::ParamKind::Int: return describeInt(desc, s);
    case kalthorne::params::ParamKind::Boolean: return describeBoolean(desc, s);
    case kalthorne::params::ParamKind::Choice: return describeChoice(desc, s);
    case kalthorne::params::ParamKind::PushButton: return describePushButton(desc, s);
  }
  return nullptr;
}

void describeClips(OFX::ImageEffectDescriptor& desc) {
  OFX::ClipDescriptor* source = desc.defineClip("Source");
  source->addSupportedComponent(OFX::ePixelComponentRGBA);
  source->addSupportedComponent(OFX::ePixelComponentRGB);
  source->setTemporalClipAccess(false);
  source->setSupportsTiles(false);
  source->setIsMask(false);
  source->setOptional(false);

  OFX::ClipDescriptor* output = desc.defineClip("Output");
  output->addSupportedComponent(OFX::ePixelComponentRGBA);
  output->addSupportedComponent(OFX::ePixelComponentRGB);
  output->setSupportsTiles(false);
}

}  // namespace

void describeKalthorneParams(OFX::ImageEffectDescriptor& desc, OFX::ContextEnum /*context*/) {
  describeClips(desc);

  // A host may refuse pages; every parameter is still described without one.
  OFX::PageParamDescriptor* page = desc.definePageParam("Controls");
  for (const ParamSpec& spec : kalthorne::params::kParamSpecs) {
    OFX::ParamDescriptor* param = describeParam(desc, spec);
    if (page && param) page->addChild(*param);
  }
}
