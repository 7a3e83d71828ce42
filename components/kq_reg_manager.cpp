#include "components/kq_reg_manager.h"

#include <algorithm>
#include <array>

#include "platform/system.h"
#include "platform/text_encoding.h"
#include "platform/windows_path.h"

namespace tarvix {

namespace {

constexpr std::size_t kFontRecordSize = 68;
constexpr std::size_t kFaceNameBytes = 50;
constexpr std::size_t kPointSize = 8;
constexpr std::size_t kRectSize = 16;

void putInt32(std::string& bytes, std::size_t offset, int32_t value)
{
    const auto u = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i)
        bytes[offset + i] = static_cast<char>((u >> (8 * i)) & 0xFF);
}

int32_t getInt32(std::string_view bytes, std::size_t offset)
{
    uint32_t u = 0;
    for (int i = 0; i < 4; ++i)
        u |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[offset + i])) << (8 * i);
    return static_cast<int32_t>(u);
}

// Length of the UTF-8 sequence that begins with `lead` (1 for a stray byte).
std::size_t utf8SequenceLength(unsigned char lead)
{
    if (lead >= 0xF0 && lead <= 0xF7)
        return 4;
    if (lead >= 0xE0)
        return lead <= 0xEF ? 3 : 1;
    if (lead >= 0xC0)
        return 2;
    return 1;
}

// The face name in the ANSI code page, at most 50 bytes. A name that does not fit is cut after the last whole
// character, so that a double-byte code page never keeps half a character.
std::string ansiFaceName(std::string_view name, uint32_t ansiCodePage)
{
    std::string encoded = platform::encodeCodePage(name, ansiCodePage);
    if (encoded.size() <= kFaceNameBytes)
        return encoded;
    std::string cut;
    for (std::size_t i = 0; i < name.size();) {
        const std::size_t n = std::min(utf8SequenceLength(static_cast<unsigned char>(name[i])), name.size() - i);
        const std::string piece = platform::encodeCodePage(name.substr(i, n), ansiCodePage);
        if (cut.size() + piece.size() > kFaceNameBytes)
            break;
        cut += piece;
        i += n;
    }
    return cut;
}

uint32_t currentAnsiCodePage()
{
    return platform::current().shell().ansiCodePage();
}

} // namespace

platform::RegRoot RootKeyHandle(TKqRootKeys root)
{
    return static_cast<platform::RegRoot>(0x80000000u + static_cast<uint32_t>(root));
}

uint32_t KeyAccessMask(TKqKeyAccess access)
{
    switch (access) {
    case kaWrite: return platform::KeyAccess::Write;
    case kaRead: return platform::KeyAccess::Read;
    case kaExecute: return platform::KeyAccess::Execute;
    case kaAccessAll: break;
    }
    return platform::KeyAccess::AllAccess;
}

std::string EncodeFontRecord(const TKqFontValue& font, uint32_t ansiCodePage)
{
    std::string record(kFontRecordSize, '\0');
    record[0] = static_cast<char>(font.Charset);
    putInt32(record, 4, font.Color);
    const std::string name = ansiFaceName(font.Name, ansiCodePage);
    record[8] = static_cast<char>(name.size());
    std::copy(name.begin(), name.end(), record.begin() + 9);
    record[59] = static_cast<char>(font.Pitch);
    putInt32(record, 60, font.Size);
    record[64] = static_cast<char>(font.Style & fsAllStyles);
    return record;
}

std::optional<TKqFontValue> DecodeFontRecord(std::string_view record, uint32_t ansiCodePage)
{
    if (record.size() < kFontRecordSize)
        return std::nullopt;
    TKqFontValue font;
    font.Charset = static_cast<uint8_t>(record[0]);
    font.Color = getInt32(record, 4);
    // A length beyond the field is taken as the whole field.
    const std::size_t length = std::min<std::size_t>(static_cast<unsigned char>(record[8]), kFaceNameBytes);
    font.Name = platform::decodeCodePage(record.substr(9, length), ansiCodePage);
    const auto pitch = static_cast<uint8_t>(record[59]);
    font.Pitch = pitch <= fpFixed ? static_cast<TFontPitch>(pitch) : fpDefault;
    font.Size = getInt32(record, 60);
    font.Style = static_cast<TFontStyles>(record[64] & fsAllStyles);
    return font;
}

// The composed key opened for one operation, closed again however the operation ends.
class TKqRegManager::OpenedKey {
public:
    OpenedKey(TKqRegManager& owner, std::string_view subKey) : registry_(*owner.FRegistry)
    {
        opened_ = registry_.OpenKey(owner.ComposedPath(subKey), owner.FAutoCreate);
    }
    ~OpenedKey() { registry_.CloseKey(); }
    OpenedKey(const OpenedKey&) = delete;
    OpenedKey& operator=(const OpenedKey&) = delete;

    explicit operator bool() const { return opened_; }

private:
    TRegistry& registry_;
    bool opened_ = false;
};

TKqRegManager::TKqRegManager(platform::Registry* backend)
    : FRegistry(std::make_unique<TRegistry>(KeyAccessMask(kaAccessAll), backend))
{
    FRegistry->SetRootKey(RootKeyHandle(FRootKey));
}

TKqRegManager::~TKqRegManager() = default;

void TKqRegManager::SetRootKey(TKqRootKeys value)
{
    FRootKey = value;
    FRegistry->SetRootKey(RootKeyHandle(value));
}

void TKqRegManager::SetKey(std::string_view value)
{
    FKey = value.empty() ? std::string(DefaultKey) : std::string(value);
}

void TKqRegManager::Loaded()
{
    TComponent::Loaded();
    FRegistry->SetAccess(KeyAccessMask(FKeyAccess));
}

std::string TKqRegManager::ComposedPath(std::string_view SubKey) const
{
    if (SubKey.empty())
        return FKey;
    if (FKey.empty())
        return std::string(SubKey);
    return platform::includeTrailingBackslash(FKey) + std::string(SubKey);
}

std::optional<uint32_t> TKqRegManager::TypeOf(std::string_view Name) const
{
    return FRegistry->GetDataType(Name);
}

// --- Keys and listings --------------------------------------------------------------------------------------

bool TKqRegManager::DeleteSubKey(std::string_view SubKey)
{
    return FRegistry->DeleteKey(ComposedPath(SubKey));
}

bool TKqRegManager::SubKeyExists(std::string_view SubKey)
{
    return FRegistry->KeyExists(ComposedPath(SubKey));
}

bool TKqRegManager::ValueExists(std::string_view SubKey, std::string_view Name)
{
    OpenedKey key(*this, SubKey);
    return key && FRegistry->ValueExists(Name);
}

bool TKqRegManager::DeleteValue(std::string_view SubKey, std::string_view Name)
{
    OpenedKey key(*this, SubKey);
    return key && FRegistry->DeleteValue(Name);
}

bool TKqRegManager::GetValueNames(std::vector<std::string>& Names)
{
    OpenedKey key(*this, {});
    if (!key)
        return false;
    Names = FRegistry->GetValueNames();
    return true;
}

bool TKqRegManager::GetKeyNames(std::vector<std::string>& Keys)
{
    OpenedKey key(*this, {});
    if (!key)
        return false;
    Keys = FRegistry->GetKeyNames();
    return true;
}

// --- Reads --------------------------------------------------------------------------------------------------

int TKqRegManager::ReadBinaryData(std::string_view SubKey, std::string_view Name, void* Buffer, int BufSize)
{
    OpenedKey key(*this, SubKey);
    if (!key || TypeOf(Name) != platform::RegType::Binary)
        return -1;
    return static_cast<int>(FRegistry->ReadBinaryData(Name, Buffer, BufSize > 0 ? std::size_t(BufSize) : 0));
}

bool TKqRegManager::ReadBool(std::string_view SubKey, std::string_view Name, bool Default)
{
    OpenedKey key(*this, SubKey);
    if (!key || TypeOf(Name) != platform::RegType::Dword)
        return Default;
    return FRegistry->ReadInteger(Name) != 0;
}

TColor TKqRegManager::ReadColor(std::string_view SubKey, std::string_view Name, TColor Default)
{
    return ReadInteger(SubKey, Name, Default);
}

int32_t TKqRegManager::ReadInteger(std::string_view SubKey, std::string_view Name, int32_t Default)
{
    OpenedKey key(*this, SubKey);
    if (!key || TypeOf(Name) != platform::RegType::Dword)
        return Default;
    return FRegistry->ReadInteger(Name);
}

double TKqRegManager::ReadDouble(std::string_view SubKey, std::string_view Name, double Default)
{
    OpenedKey key(*this, SubKey);
    if (!key || TypeOf(Name) != platform::RegType::Binary)
        return Default;
    return FRegistry->ReadFloat(Name); // a size other than 8 raises
}

TDateTime TKqRegManager::ReadDate(std::string_view SubKey, std::string_view Name, TDateTime Default)
{
    return ReadDouble(SubKey, Name, Default);
}

TDateTime TKqRegManager::ReadTime(std::string_view SubKey, std::string_view Name, TDateTime Default)
{
    return ReadDouble(SubKey, Name, Default);
}

TDateTime TKqRegManager::ReadDateTime(std::string_view SubKey, std::string_view Name, TDateTime Default)
{
    return ReadDouble(SubKey, Name, Default);
}

double TKqRegManager::ReadFloat(std::string_view SubKey, std::string_view Name, double Default)
{
    return ReadDouble(SubKey, Name, Default);
}

TPoint TKqRegManager::ReadPoint(std::string_view SubKey, std::string_view Name, const TPoint& Default)
{
    std::array<char, kPointSize> bytes{};
    if (ReadBinaryData(SubKey, Name, bytes.data(), kPointSize) != int(kPointSize))
        return Default;
    const std::string_view view(bytes.data(), bytes.size());
    return TPoint{getInt32(view, 0), getInt32(view, 4)};
}

TRect TKqRegManager::ReadRect(std::string_view SubKey, std::string_view Name, const TRect& Default)
{
    std::array<char, kRectSize> bytes{};
    if (ReadBinaryData(SubKey, Name, bytes.data(), kRectSize) != int(kRectSize))
        return Default;
    const std::string_view view(bytes.data(), bytes.size());
    return TRect{getInt32(view, 0), getInt32(view, 4), getInt32(view, 8), getInt32(view, 12)};
}

std::string TKqRegManager::ReadString(std::string_view SubKey, std::string_view Name, std::string_view Default)
{
    OpenedKey key(*this, SubKey);
    if (!key || TypeOf(Name) != platform::RegType::Sz)
        return std::string(Default);
    return FRegistry->ReadString(Name);
}

std::optional<TKqFontValue> TKqRegManager::TryReadFont(std::string_view SubKey, std::string_view Name)
{
    std::array<char, kFontRecordSize> bytes{};
    if (ReadBinaryData(SubKey, Name, bytes.data(), kFontRecordSize) != int(kFontRecordSize))
        return std::nullopt;
    return DecodeFontRecord(std::string_view(bytes.data(), bytes.size()), currentAnsiCodePage());
}

TKqFontValue TKqRegManager::ReadFont(std::string_view SubKey, std::string_view Name, const TKqFontValue* Default)
{
    if (auto font = TryReadFont(SubKey, Name))
        return std::move(*font);
    return Default ? *Default : TKqFontValue();
}

// --- Writes -------------------------------------------------------------------------------------------------

void TKqRegManager::WriteBytes(std::string_view SubKey, std::string_view Name, const std::string& Bytes)
{
    OpenedKey key(*this, SubKey);
    if (key)
        FRegistry->WriteBinaryData(Name, Bytes.data(), Bytes.size());
}

void TKqRegManager::WriteBinaryData(std::string_view SubKey, std::string_view Name, const void* Buffer, int BufSize)
{
    OpenedKey key(*this, SubKey);
    if (key)
        FRegistry->WriteBinaryData(Name, Buffer, BufSize > 0 ? std::size_t(BufSize) : 0);
}

void TKqRegManager::WriteBool(std::string_view SubKey, std::string_view Name, bool Value)
{
    WriteInteger(SubKey, Name, Value ? 1 : 0);
}

void TKqRegManager::WriteColor(std::string_view SubKey, std::string_view Name, TColor Value)
{
    WriteInteger(SubKey, Name, Value);
}

void TKqRegManager::WriteDate(std::string_view SubKey, std::string_view Name, TDateTime Value)
{
    WriteFloat(SubKey, Name, Value);
}

void TKqRegManager::WriteDateTime(std::string_view SubKey, std::string_view Name, TDateTime Value)
{
    WriteFloat(SubKey, Name, Value);
}

void TKqRegManager::WriteTime(std::string_view SubKey, std::string_view Name, TDateTime Value)
{
    WriteFloat(SubKey, Name, Value);
}

void TKqRegManager::WriteFloat(std::string_view SubKey, std::string_view Name, double Value)
{
    OpenedKey key(*this, SubKey);
    if (key)
        FRegistry->WriteFloat(Name, Value);
}

void TKqRegManager::WriteFont(std::string_view SubKey, std::string_view Name, const TKqFontValue& Value)
{
    WriteBytes(SubKey, Name, EncodeFontRecord(Value, currentAnsiCodePage()));
}

void TKqRegManager::WriteInteger(std::string_view SubKey, std::string_view Name, int32_t Value)
{
    OpenedKey key(*this, SubKey);
    if (key)
        FRegistry->WriteInteger(Name, Value);
}

void TKqRegManager::WritePoint(std::string_view SubKey, std::string_view Name, const TPoint& Value)
{
    std::string bytes(kPointSize, '\0');
    putInt32(bytes, 0, Value.X);
    putInt32(bytes, 4, Value.Y);
    WriteBytes(SubKey, Name, bytes);
}

void TKqRegManager::WriteRect(std::string_view SubKey, std::string_view Name, const TRect& Value)
{
    std::string bytes(kRectSize, '\0');
    putInt32(bytes, 0, Value.Left);
    putInt32(bytes, 4, Value.Top);
    putInt32(bytes, 8, Value.Right);
    putInt32(bytes, 12, Value.Bottom);
    WriteBytes(SubKey, Name, bytes);
}

void TKqRegManager::WriteString(std::string_view SubKey, std::string_view Name, std::string_view Value)
{
    OpenedKey key(*this, SubKey);
    if (key)
        FRegistry->WriteString(Name, Value);
}

} // namespace tarvix
