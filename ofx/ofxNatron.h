#ifndef KALTHORNE_OFX_NATRON_H
#define KALTHORNE_OFX_NATRON_H
/* The Natron host extension this plug-in relies on: a host property that is
   non-zero when the host is Natron. */

#define kNatronOfxHostIsNatron "NatronOfxHostIsNatron"

#endif
