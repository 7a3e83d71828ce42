// TKqRegManager: typed, one-call access to the values below one registry key. Every operation composes the key
// path from Key and an optional sub-key, opens it (creating it when AutoCreate), does one read, write, test or
// listing and closes the key again, so no key stays open between calls.
//
// Reads never fail because a key or value is missing or has another type: they return the caller's default.
// Writes whose key cannot be opened do nothing. What the platform registry refuses (a value it will not store),
// a REG_BINARY value larger than the buffer of ReadBinaryData (so also a point, rectangle or font record longer
// than 8, 16 or 68 bytes) and a REG_BINARY value of other than 8 bytes read as a float or date-time reach the
// caller as ERegistryException.
//
// Value formats:
//   String              REG_SZ (a REG_EXPAND_SZ value is a type mismatch)
//   Integer, Color      REG_DWORD, 32-bit signed
//   Bool                REG_DWORD, 1 or 0; any non-zero value reads as true
//   Float, date-time    REG_BINARY, 8 bytes: the IEEE 754 double, little-endian; a date-time counts days since
//                       30 December 1899, the fraction being the time of day (date, time and date-time alike)
//   Point               REG_BINARY, 8 bytes: X, Y as 32-bit signed little-endian integers
//   Rect                REG_BINARY, 16 bytes: Left, Top, Right, Bottom likewise
//   Font                REG_BINARY, 68 bytes:
//     0 charset | 1-3 filler | 4-7 colour | 8 face name length (0-50) | 9-58 face name in the ANSI code page |
//     59 pitch (0 default, 1 variable, 2 fixed) | 60-63 size in points | 64 style bits (1 bold, 2 italic,
//     4 underline, 8 strike-out) | 65-67 filler
// A point, rectangle or font record shorter than its size counts as missing.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "components/component.h"
#include "components/kq_color.h"
#include "components/kq_datetime.h"
#include "components/kq_font.h"
#include "components/kq_geometry.h"
#include "components/kq_registry.h"
#include "platform/registry.h"

namespace tarvix {

// The predefined root keys; the handle of each is 0x80000000 plus its ordinal.
enum TKqRootKeys : uint8_t {
    HKeyClassesRoot,
    HKeyCurrentUser,
    HKeyLocalMachine,
    HKeyUsers,
    HKeyPerformanceData,
    HKeyCurrentConfig,
    HKeyDynData,
};

// The access rights keys are opened with.
enum TKqKeyAccess : uint8_t { kaWrite, kaRead, kaExecute, kaAccessAll };

platform::RegRoot RootKeyHandle(TKqRootKeys root);
// KEY_WRITE 0x20006, KEY_READ 0x20019, KEY_EXECUTE 0x20019, KEY_ALL_ACCESS 0xF003F.
uint32_t KeyAccessMask(TKqKeyAccess access);

class TKqRegManager : public TComponent {
public:
    // `backend` as for TRegistry: null means platform::current().registry().
    explicit TKqRegManager(platform::Registry* backend = nullptr);
    ~TKqRegManager() override;

    // Whether the keys that operations open are created when missing. Takes effect with the next operation.
    bool AutoCreate() const { return FAutoCreate; }
    void SetAutoCreate(bool value) { FAutoCreate = value; }
    // The root of Key; moves the registry object to that root at once.
    TKqRootKeys RootKey() const { return FRootKey; }
    void SetRootKey(TKqRootKeys value);
    // The component's key below the root. Setting it empty puts back the default "\SOFTWARE\Company\Product".
    const std::string& Key() const { return FKey; }
    void SetKey(std::string_view value);
    // Only stored: the registry object takes the mask when loading has finished (Loaded), not on later changes.
    TKqKeyAccess KeyAccess() const { return FKeyAccess; }
    void SetKeyAccess(TKqKeyAccess value) { FKeyAccess = value; }
    // The registry object all operations go through; the component owns it.
    TRegistry& Registry() const { return *FRegistry; }

    void Loaded() override;

    // Key, and then SubKey after a backslash unless Key is empty or ends with one. Nothing else is normalised.
    std::string ComposedPath(std::string_view SubKey) const;

    // --- Keys and listings ---
    // Deletes the composed key with everything below it (an empty SubKey deletes Key itself); true when deleted.
    bool DeleteSubKey(std::string_view SubKey);
    // Never creates the key.
    bool SubKeyExists(std::string_view SubKey);
    bool ValueExists(std::string_view SubKey, std::string_view Name);
    bool DeleteValue(std::string_view SubKey, std::string_view Name);
    // The value names, or the immediate sub-key names, of Key itself; `Names` is replaced. False (and `Names`
    // untouched) when Key cannot be opened.
    bool GetValueNames(std::vector<std::string>& Names);
    bool GetKeyNames(std::vector<std::string>& Keys);

    // --- Reads ---
    // -1 when the key cannot be opened or the value is missing or not REG_BINARY; else the value's size, its
    // bytes copied to `Buffer`. A value larger than BufSize raises ERegistryException.
    int ReadBinaryData(std::string_view SubKey, std::string_view Name, void* Buffer, int BufSize);
    bool ReadBool(std::string_view SubKey, std::string_view Name, bool Default);
    TColor ReadColor(std::string_view SubKey, std::string_view Name, TColor Default);
    TDateTime ReadDate(std::string_view SubKey, std::string_view Name, TDateTime Default);
    TDateTime ReadTime(std::string_view SubKey, std::string_view Name, TDateTime Default);
    TDateTime ReadDateTime(std::string_view SubKey, std::string_view Name, TDateTime Default);
    double ReadFloat(std::string_view SubKey, std::string_view Name, double Default);
    int32_t ReadInteger(std::string_view SubKey, std::string_view Name, int32_t Default);
    TPoint ReadPoint(std::string_view SubKey, std::string_view Name, const TPoint& Default);
    TRect ReadRect(std::string_view SubKey, std::string_view Name, const TRect& Default);
    std::string ReadString(std::string_view SubKey, std::string_view Name, std::string_view Default);

    // The stored font, or nothing when the value is missing (or shorter than a font record).
    std::optional<TKqFontValue> TryReadFont(std::string_view SubKey, std::string_view Name);
    // Fonts are values here, so the caller always owns what it gets. A stored font gives a new value; a missing
    // one gives *Default when a default is passed (the caller's own font is left as it is and can be kept), and
    // a font with the default settings (TKqFontValue()) when Default is null.
    TKqFontValue ReadFont(std::string_view SubKey, std::string_view Name, const TKqFontValue* Default);

    // --- Writes: each replaces any value of that name, of any type ---
    void WriteBinaryData(std::string_view SubKey, std::string_view Name, const void* Buffer, int BufSize);
    void WriteBool(std::string_view SubKey, std::string_view Name, bool Value);
    void WriteColor(std::string_view SubKey, std::string_view Name, TColor Value);
    void WriteDate(std::string_view SubKey, std::string_view Name, TDateTime Value);
    void WriteDateTime(std::string_view SubKey, std::string_view Name, TDateTime Value);
    void WriteFloat(std::string_view SubKey, std::string_view Name, double Value);
    // The face name is stored in the system's ANSI code page and cut to 50 bytes (never inside a character).
    void WriteFont(std::string_view SubKey, std::string_view Name, const TKqFontValue& Value);
    void WriteInteger(std::string_view SubKey, std::string_view Name, int32_t Value);
    void WritePoint(std::string_view SubKey, std::string_view Name, const TPoint& Value);
    void WriteRect(std::string_view SubKey, std::string_view Name, const TRect& Value);
    void WriteString(std::string_view SubKey, std::string_view Name, std::string_view Value);
    void WriteTime(std::string_view SubKey, std::string_view Name, TDateTime Value);

    static constexpr std::string_view DefaultKey = "\\SOFTWARE\\Company\\Product";

private:
    class OpenedKey;
    std::optional<uint32_t> TypeOf(std::string_view Name) const;
    double ReadDouble(std::string_view SubKey, std::string_view Name, double Default);
    void WriteBytes(std::string_view SubKey, std::string_view Name, const std::string& Bytes);

    bool FAutoCreate = true;
    TKqRootKeys FRootKey = HKeyCurrentUser;
    std::string FKey{DefaultKey};
    TKqKeyAccess FKeyAccess = kaAccessAll;
    std::unique_ptr<TRegistry> FRegistry;
};

// The 68-byte record of a font value and back. Encoding needs the ANSI code page the face name is stored in.
std::string EncodeFontRecord(const TKqFontValue& font, uint32_t ansiCodePage);
// Nothing when `record` is shorter than 68 bytes.
std::optional<TKqFontValue> DecodeFontRecord(std::string_view record, uint32_t ansiCodePage);

} // namespace tarvix
