// Hive files come from disk and may be anything. Whatever parses must write back exactly as read, and a change
// must leave a file that parses again with the change in it.
#include "platform/errors.h"
#include "platform/wine/wine_hive.h"

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <string>

using tarvix::platform::RegistryError;
using tarvix::platform::RegValue;
using tarvix::platform::wine::WineHive;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    try {
        WineHive hive = WineHive::parse(text, "fuzz.reg");
        if (hive.serialize() != text)
            std::abort();
        const auto now = std::chrono::system_clock::now();
        WineHive::Node* key = hive.createKey(hive.root(), {"Fuzz", "Key"}, now);
        hive.setValue(key, "v", RegValue::string(text.substr(0, 64)), now);
        const std::string changed = hive.serialize();
        WineHive again = WineHive::parse(changed, "fuzz.reg");
        const WineHive::Node* back = again.child(again.child(again.root(), "fuzz"), "key");
        if (!back || again.value(back, "V") != RegValue::string(text.substr(0, 64)))
            std::abort();
    } catch (const RegistryError&) {}
    return 0;
}
