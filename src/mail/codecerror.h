#pragma once
#include "core/exception.h"

// A codec met input it cannot handle ("Invalid Character", "Paragraph is too
// large"); the message layers turn it into their own error where they need to.
class ECodecError : public Exception {
public:
    using Exception::Exception;
};
