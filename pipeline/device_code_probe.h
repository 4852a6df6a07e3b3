// One kernel of the device code, by the address the CUDA runtime knows it
// by. Asked about it with a device current, the runtime answers whether the
// device code holds machine code for that device; every kernel source is
// built for the same architectures, so one kernel answers for all.
#pragma once

const void* device_code_probe_kernel();
