#include "store/file_error.h"

FileError plainFailure(std::string text) {
    FileError e;
    e.failed = true;
    e.message = std::move(text);
    return e;
}

FileError cancelledFailure() {
    FileError e = plainFailure("cancelled");
    e.cancelled = true;
    return e;
}
