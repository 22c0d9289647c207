#include "GstSupport.h"

#include <gst/gst.h>

namespace zavreo {

bool EnsureGstInitialised() {
    static const bool initialised = gst_init_check(nullptr, nullptr, nullptr);
    return initialised;
}

}  // namespace zavreo
