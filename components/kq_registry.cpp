#include "components/kq_registry.h"

#include <bit>
#include <cstring>

#include "platform/errors.h"
#include "platform/system.h"

namespace tarvix {

namespace {

namespace WinError = platform::WinError;

// Runs a call into the platform registry and hands its refusals on as ERegistryException, keeping the message and
// the Windows error code.
template <typename F>
auto guarded(F&& call) -> decltype(call())
{
    try {
        return call();
    } catch (const ERegistryException&) {
        throw;
    } catch (const platform::RegistryError& e) {
        throw ERegistryException(e.what(), e.code());
    }
}

std::string displayName(std::string_view name)
{
    return name.empty() ? std::string("(Default)") : "\"" + std::string(name) + "\"";
}

std::string doubleBytes(double value)
{
    static_assert(sizeof(double) == 8 && std::endian::native == std::endian::little,
                  "the stored layout is the little-endian IEEE 754 double of the host");
    std::string bytes(8, '\0');
    std::memcpy(bytes.data(), &value, 8);
    return bytes;
}

} // namespace

TRegistry::TRegistry(uint32_t access, platform::Registry* backend) : FBackend(backend), FAccess(access) {}

TRegistry::~TRegistry() = default;

platform::Registry& TRegistry::Backend() const
{
    return FBackend ? *FBackend : platform::current().registry();
}

void TRegistry::SetRootKey(platform::RegRoot root)
{
    if (root == FRootKey)
        return;
    CloseKey();
    FRootKey = root;
}

std::string TRegistry::Resolve(std::string_view key) const
{
    if (!key.empty() && key.front() == '\\')
        return std::string(key.substr(1));
    if (FCurrentKey && !FCurrentPath.empty())
        return key.empty() ? FCurrentPath : FCurrentPath + "\\" + std::string(key);
    return std::string(key);
}

bool TRegistry::OpenKey(std::string_view key, bool canCreate)
{
    const std::string path = Resolve(key);
    uint32_t error = 0;
    std::unique_ptr<platform::RegistryKey> opened;
    try {
        opened = Backend().openKey(FRootKey, path, FAccess, canCreate, &error);
    } catch (const platform::RegistryError& e) {
        // A key that cannot be created (the store cannot be written) is a failed open, as on Windows.
        error = e.code() ? e.code() : WinError::AccessDenied;
    }
    if (!opened) {
        FLastError = error ? error : WinError::FileNotFound;
        return false;
    }
    FLastError = WinError::Success;
    FCurrentKey = std::move(opened);
    FCurrentPath = path;
    return true;
}

void TRegistry::CloseKey()
{
    FCurrentKey.reset();
    FCurrentPath.clear();
}

bool TRegistry::KeyExists(std::string_view key)
{
    const std::string path = Resolve(key);
    return guarded([&] { return Backend().keyExists(FRootKey, path, FAccess); });
}

bool TRegistry::DeleteKey(std::string_view key)
{
    const std::string path = Resolve(key);
    return guarded([&] { return Backend().deleteKey(FRootKey, path, FAccess); });
}

std::optional<platform::RegValueInfo> TRegistry::GetDataInfo(std::string_view name) const
{
    if (!FCurrentKey)
        return std::nullopt;
    return guarded([&] { return FCurrentKey->valueInfo(name); });
}

int TRegistry::GetDataSize(std::string_view name) const
{
    auto info = GetDataInfo(name);
    return info ? static_cast<int>(info->size) : -1;
}

std::optional<uint32_t> TRegistry::GetDataType(std::string_view name) const
{
    auto info = GetDataInfo(name);
    if (!info)
        return std::nullopt;
    return info->type;
}

bool TRegistry::ValueExists(std::string_view name) const
{
    return GetDataInfo(name).has_value();
}

bool TRegistry::DeleteValue(std::string_view name)
{
    if (!FCurrentKey)
        return false;
    return guarded([&] { return FCurrentKey->deleteValue(name); });
}

std::vector<std::string> TRegistry::GetValueNames() const
{
    if (!FCurrentKey)
        return {};
    return guarded([&] { return FCurrentKey->valueNames(); });
}

std::vector<std::string> TRegistry::GetKeyNames() const
{
    if (!FCurrentKey)
        return {};
    return guarded([&] { return FCurrentKey->subKeyNames(); });
}

platform::RegistryKey& TRegistry::RequireKey(std::string_view name) const
{
    if (!FCurrentKey)
        throw ERegistryException("No registry key is open to access the value " + displayName(name));
    return *FCurrentKey;
}

platform::RegValue TRegistry::RequireValue(std::string_view name, uint32_t type) const
{
    platform::RegistryKey& key = RequireKey(name);
    std::optional<platform::RegValue> value = guarded([&] { return key.value(name); });
    const bool stringWanted = type == platform::RegType::Sz;
    const bool fits = value && (value->type == type || (stringWanted && value->type == platform::RegType::ExpandSz));
    if (!fits) {
        throw ERegistryException("The registry value " + displayName(name) + " of " +
                                     std::string(platform::rootName(FRootKey)) + "\\" + FCurrentPath +
                                     (value ? " has another data type than the one read" : " does not exist"),
                                 value ? WinError::InvalidData : WinError::FileNotFound);
    }
    return std::move(*value);
}

std::string TRegistry::ReadString(std::string_view name) const
{
    return RequireValue(name, platform::RegType::Sz).asString();
}

int32_t TRegistry::ReadInteger(std::string_view name) const
{
    platform::RegValue value = RequireValue(name, platform::RegType::Dword);
    if (value.data.size() != 4)
        throw ERegistryException("The registry value " + displayName(name) + " is not a 4-byte integer",
                                 WinError::InvalidData);
    return static_cast<int32_t>(value.asDword());
}

double TRegistry::ReadFloat(std::string_view name) const
{
    platform::RegValue value = RequireValue(name, platform::RegType::Binary);
    if (value.data.size() != 8) {
        throw ERegistryException("The registry value " + displayName(name) + " has " +
                                     std::to_string(value.data.size()) + " bytes where an 8-byte number was expected",
                                 WinError::InvalidData);
    }
    double result = 0;
    std::memcpy(&result, value.data.data(), 8);
    return result;
}

std::size_t TRegistry::ReadBinaryData(std::string_view name, void* buffer, std::size_t bufSize) const
{
    platform::RegValue value = RequireValue(name, platform::RegType::Binary);
    if (value.data.size() > bufSize) {
        throw ERegistryException("The registry value " + displayName(name) + " has " +
                                     std::to_string(value.data.size()) + " bytes, more than the " +
                                     std::to_string(bufSize) + " bytes of the buffer",
                                 WinError::MoreData);
    }
    if (!value.data.empty())
        std::memcpy(buffer, value.data.data(), value.data.size());
    return value.data.size();
}

void TRegistry::Put(std::string_view name, const platform::RegValue& value)
{
    platform::RegistryKey& key = RequireKey(name);
    guarded([&] { key.setValue(name, value); });
}

void TRegistry::WriteString(std::string_view name, std::string_view value)
{
    Put(name, platform::RegValue::string(value, platform::RegType::Sz));
}

void TRegistry::WriteExpandString(std::string_view name, std::string_view value)
{
    Put(name, platform::RegValue::string(value, platform::RegType::ExpandSz));
}

void TRegistry::WriteInteger(std::string_view name, int32_t value)
{
    Put(name, platform::RegValue::dword(static_cast<uint32_t>(value)));
}

void TRegistry::WriteFloat(std::string_view name, double value)
{
    Put(name, platform::RegValue::binary(doubleBytes(value)));
}

void TRegistry::WriteBinaryData(std::string_view name, const void* buffer, std::size_t bufSize)
{
    std::string bytes(bufSize, '\0');
    if (bufSize)
        std::memcpy(bytes.data(), buffer, bufSize);
    Put(name, platform::RegValue::binary(bytes));
}

} // namespace tarvix
