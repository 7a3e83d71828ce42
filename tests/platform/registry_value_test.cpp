#include "platform/registry.h"

#include "tests/platform/reg_value_printer.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>

namespace tarvix::platform {
namespace {

using namespace std::string_literals;

TEST(RegValue, StringsAreUtf16WithTheirTerminators)
{
    struct Case {
        RegValue value;
        uint32_t type;
        std::string bytes;
    };
    const Case cases[] = {
        {RegValue::string("Ab"), RegType::Sz, "A\0b\0\0\0"s},
        {RegValue::string("", RegType::ExpandSz), RegType::ExpandSz, "\0\0"s},
        // é is one UTF-16 unit, 😀 a surrogate pair.
        {RegValue::string("\xC3\xA9\xF0\x9F\x98\x80"), RegType::Sz, "\xE9\0\x3D\xD8\x00\xDE\0\0"s},
        {RegValue::multiString({"a", "bc"}), RegType::MultiSz, "a\0\0\0b\0c\0\0\0\0\0"s},
        {RegValue::multiString({}), RegType::MultiSz, "\0\0"s},
        {RegValue::dword(0x0A0B0C0D), RegType::Dword, "\x0D\x0C\x0B\x0A"s},
        {RegValue::binary("\x00\xFF"s), RegType::Binary, "\x00\xFF"s},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.value.type, c.type);
        EXPECT_EQ(c.value.data, c.bytes);
    }
}

TEST(RegValue, ReadingBackCutsAtTheTerminatorsAndToleratesShortData)
{
    EXPECT_EQ(RegValue::string("C:\\Tarvix \xC3\xA7").asString(), "C:\\Tarvix \xC3\xA7");
    EXPECT_EQ((RegValue{RegType::Sz, "a\0b\0\0\0c\0"s}).asString(), "ab");
    EXPECT_EQ((RegValue{RegType::Sz, "a\0b"s}).asString(), "a"); // odd last byte dropped, no terminator
    EXPECT_EQ((RegValue{RegType::Sz, ""}).asString(), "");

    EXPECT_EQ(RegValue::multiString({"one", "tr\xC3\xAAs"}).asMultiString(),
              (std::vector<std::string>{"one", "tr\xC3\xAAs"}));
    // The empty string ends the list; a last string without its terminator still counts.
    EXPECT_EQ((RegValue{RegType::MultiSz, "a\0\0\0\0\0b\0\0\0"s}).asMultiString(), std::vector<std::string>{"a"});
    EXPECT_EQ((RegValue{RegType::MultiSz, "a\0\0\0b\0"s}).asMultiString(), (std::vector<std::string>{"a", "b"}));
    EXPECT_TRUE((RegValue{RegType::MultiSz, ""}).asMultiString().empty());

    EXPECT_EQ(RegValue::dword(4000000000u).asDword(), 4000000000u);
    EXPECT_EQ((RegValue{RegType::Binary, "\x01\x02"s}).asDword(), 0x0201u);
    EXPECT_EQ((RegValue{RegType::Binary, "\x01\x02\x03\x04\x05"s}).asDword(), 0x04030201u);
}

TEST(RegValue, UnpairedSurrogatesSurviveTheRoundTrip)
{
    const RegValue lone{RegType::Sz, "\x00\xD8x\0\0\0"s};
    const std::string text = lone.asString();
    EXPECT_EQ(text, "\xED\xA0\x80x");
    EXPECT_EQ(RegValue::string(text), lone);
    // Invalid UTF-8 becomes U+FFFD.
    EXPECT_EQ(RegValue::string("a\xFF").data, "a\0\xFD\xFF\0\0"s);
}

TEST(RegRootNames, FullAndShortNamesWithoutRegardToCase)
{
    EXPECT_EQ(rootName(RegRoot::LocalMachine), "HKEY_LOCAL_MACHINE");
    EXPECT_EQ(rootName(RegRoot::DynData), "HKEY_DYN_DATA");
    const std::pair<const char*, RegRoot> names[] = {
        {"HKEY_CLASSES_ROOT", RegRoot::ClassesRoot},
        {"hkcu", RegRoot::CurrentUser},
        {"HKLM", RegRoot::LocalMachine},
        {"Hkey_Users", RegRoot::Users},
        {"HKU", RegRoot::Users},
        {"HKEY_PERFORMANCE_DATA", RegRoot::PerformanceData},
        {"HKCC", RegRoot::CurrentConfig},
        {"HKEY_DYN_DATA", RegRoot::DynData},
    };
    for (const auto& [name, root] : names) {
        ASSERT_TRUE(rootFromName(name).has_value()) << name;
        EXPECT_EQ(*rootFromName(name), root) << name;
        EXPECT_EQ(rootFromName(rootName(root)), root);
    }
    EXPECT_FALSE(rootFromName("HKEY_LOCAL").has_value());
    EXPECT_FALSE(rootFromName("").has_value());
}

class FakeKey : public RegistryKey {
public:
    std::vector<std::string> subKeyNames() const override { return {}; }
    std::vector<std::string> valueNames() const override { return {}; }
    std::optional<RegValueInfo> valueInfo(std::string_view) const override { return std::nullopt; }
    std::optional<RegValue> value(std::string_view name) const override
    {
        if (name == last)
            return stored;
        return std::nullopt;
    }
    void setValue(std::string_view name, const RegValue& v) override
    {
        last = std::string(name);
        stored = v;
    }
    bool deleteValue(std::string_view) override { return false; }

    std::string last;
    RegValue stored;
};

TEST(RegistryKeyConveniences, ReadOnlyTheirOwnTypes)
{
    FakeKey key;
    key.writeString("s", "text");
    EXPECT_EQ(key.stored, RegValue::string("text"));
    EXPECT_EQ(key.readString("s"), "text");
    EXPECT_EQ(key.readDword("s"), std::nullopt);

    key.writeString("s", "%X%", RegType::ExpandSz);
    EXPECT_EQ(key.readString("s"), "%X%");

    key.writeDword("d", 7);
    EXPECT_EQ(key.stored, RegValue::dword(7));
    EXPECT_EQ(key.readDword("d"), 7u);
    EXPECT_EQ(key.readString("d"), std::nullopt);

    key.setValue("b", RegValue::binary("ab"));
    EXPECT_EQ(key.readString("b"), std::nullopt);
    EXPECT_EQ(key.readDword("b"), std::nullopt);
    EXPECT_EQ(key.readString("missing"), std::nullopt);
}

TEST(RegistryView32, ScopedModeIsPerThreadAndRestoredOnException)
{
    ASSERT_FALSE(Registry::threadView32());
    try {
        ScopedRegistryView32 outer;
        EXPECT_TRUE(Registry::threadView32());
        {
            ScopedRegistryView32 inner;
            EXPECT_TRUE(Registry::threadView32());
        }
        EXPECT_TRUE(Registry::threadView32()); // the inner scope restores "on", not "off"
        bool other = true;
        std::thread([&] { other = Registry::threadView32(); }).join();
        EXPECT_FALSE(other);
        throw std::runtime_error("leave the scope");
    } catch (const std::runtime_error&) {}
    EXPECT_FALSE(Registry::threadView32());
    EXPECT_FALSE(Registry::setThreadView32(true));
    EXPECT_TRUE(Registry::setThreadView32(false));
}

} // namespace
} // namespace tarvix::platform
