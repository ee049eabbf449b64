#include "common/error.h"

#include <utility>

namespace engine {
namespace {

std::string& threadFailureMessage() {
    thread_local std::string message;
    return message;
}

} // namespace

Status fail(Status code, std::string message) {
    threadFailureMessage() = std::move(message);
    return code;
}

const std::string& lastFailureMessage() {
    return threadFailureMessage();
}

void clearLastFailure() {
    threadFailureMessage().clear();
}

} // namespace engine
