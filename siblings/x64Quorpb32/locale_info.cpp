// Locale information with the application's regional overrides.
//
// The application may set its own value for an item of the user's default locale (a time
// picture, a separator, a designator); QVGetLocaleInfoA then answers with it, exactly as
// GetLocaleInfoA answers with the system's value: the same size rules, results and errors.
#include "x64Quorpb32.h"

#include <map>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <string>

namespace {

// Flags that ask for something other than the user's text of an item.
constexpr LCTYPE kBypassFlags = LOCALE_NOUSEROVERRIDE | LOCALE_RETURN_NUMBER;
constexpr LCTYPE kIgnoredFlags = LOCALE_USE_CP_ACP;

class OverrideStore {
public:
    void set(LCTYPE type, const char* value) {
        std::unique_lock lock(mutex_);
        if (value)
            values_[type] = value;
        else
            values_.erase(type);
    }
    void clear() {
        std::unique_lock lock(mutex_);
        values_.clear();
    }
    std::optional<std::string> find(LCTYPE type) const {
        std::shared_lock lock(mutex_);
        const auto found = values_.find(type);
        if (found == values_.end())
            return std::nullopt;
        return found->second;
    }

private:
    mutable std::shared_mutex mutex_;
    std::map<LCTYPE, std::string> values_;
};

OverrideStore& overrides() {
    static OverrideStore store;
    return store;
}

bool isUserDefaultLocale(LCID locale) {
    return locale == LOCALE_USER_DEFAULT || locale == GetUserDefaultLCID();
}

std::optional<std::string> overrideFor(LCID locale, LCTYPE type) {
    if ((type & kBypassFlags) != 0 || !isUserDefaultLocale(locale))
        return std::nullopt;
    return overrides().find(type & ~kIgnoredFlags);
}

// Copies with GetLocaleInfoA's rules: size 0 asks for the size needed, a short buffer
// fails with ERROR_INSUFFICIENT_BUFFER, the result counts the terminator.
int copyLocaleText(const std::string& value, char* buffer, int size) {
    const int needed = static_cast<int>(value.size()) + 1;
    if (size < 0 || (size > 0 && !buffer)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (size == 0)
        return needed;
    if (size < needed) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    value.copy(buffer, value.size());
    buffer[value.size()] = '\0';
    return needed;
}

} // namespace

QUORPB_API int QVGetLocaleInfoA(LCID locale, LCTYPE type, char* buffer, int size) {
    if (const auto value = overrideFor(locale, type))
        return copyLocaleText(*value, buffer, size);
    return GetLocaleInfoA(locale, type, buffer, size);
}

QUORPB_API BOOL QVSetLocaleOverrideA(LCTYPE type, const char* value) {
    if ((type & (kBypassFlags | kIgnoredFlags)) != 0) {
        SetLastError(ERROR_INVALID_FLAGS);
        return FALSE;
    }
    overrides().set(type, value);
    return TRUE;
}

QUORPB_API void QVClearLocaleOverrides() {
    overrides().clear();
}
