#ifndef KALTHORNE_OFX_NATRON_H
#define KALTHORNE_OFX_NATRON_H
/* Extensions of the Natron host, beside the OpenFX standard: a host property
   that is non-zero when the host is Natron (the plug-in relies on it), and
   the parameter layout hint of Natron's OpenFX headers. */

#define kNatronOfxHostIsNatron "NatronOfxHostIsNatron"
#define kOfxParamPropLayoutHint "OfxParamPropLayoutHint"

#endif
