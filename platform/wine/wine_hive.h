// One registry hive file of a Wine prefix (system.reg, user.reg, userdef.reg) in Wine's text format
// "WINE REGISTRY Version 2", held so that everything nobody changed is written back exactly as it was read.
//
// A hive is a list of key blocks: "[Escaped\\Path] <unix seconds>", option lines ("#time=", "#class=", "#link"),
// then "name"=data lines. The blocks hang in a tree of keys; a key that has subkeys but no values may have no
// block of its own (Wine leaves such keys out). Changes rewrite only the lines they touch and the changed key's
// time stamps; new keys and values are written the way Wine writes them and placed where Wine would put them.
#pragma once

#include "platform/registry.h"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvix::platform::wine {

class WineHive {
public:
    struct Node; // one key
    using TimePoint = std::chrono::system_clock::time_point;

    WineHive();
    ~WineHive();
    WineHive(WineHive&&) noexcept;
    WineHive& operator=(WineHive&&) noexcept;
    WineHive(const WineHive&) = delete;
    WineHive& operator=(const WineHive&) = delete;

    // Reads a hive file's text, which the hive keeps (move it in). `source` names the file in error messages: a
    // text that is not a hive raises RegistryError (code 1009) naming the source and the line.
    static WineHive parse(std::string text, const std::string& source);
    // The same for a text that `fill` hands over: it copies up to `capacity` bytes into `buffer` and returns how
    // many, 0 at the end (an error it raises goes on to the caller). `sizeHint` is the text's size as far as
    // known. The text goes straight into memory of the hive's own, which for a large hive is taken in huge
    // pages where the system offers them.
    static WineHive read(size_t sizeHint, const std::function<size_t(char* buffer, size_t capacity)>& fill,
                         const std::string& source);
    // A hive with no keys and Wine's header: the ";; All keys relative to" line names `relativeTo`
    // ("REGISTRY\Machine"), `arch` ("win32", "win64") gives the "#arch=" line, none when empty.
    static WineHive makeEmpty(std::string_view relativeTo, std::string_view arch);

    // The file text: exactly the parsed text while nothing was changed.
    std::string serialize() const;
    // The same text handed to `sink` in pieces, without building it whole (for writing it to a file).
    void write(const std::function<void(std::string_view)>& sink) const;

    // "win32" or "win64" from the "#arch=" line; empty when the file has none.
    const std::string& arch() const;
    // The hive's place in the whole registry, from the header ("REGISTRY\Machine"); empty when the file has none.
    const std::string& relativeTo() const;

    // Keys. Names are UTF-8, compared without regard to case, and keep the case they were created with.
    Node* root();
    const Node* root() const;
    const Node* child(const Node* parent, std::string_view name) const;
    Node* child(Node* parent, std::string_view name);
    std::string name(const Node* key) const;
    // Subkey names in Wine's order (case-insensitive).
    std::vector<std::string> subKeyNames(const Node* key) const;
    // Creates the subkey if missing (the new key gets a block at once, so it survives a save) and returns it.
    Node* createChild(Node* parent, std::string_view name, TimePoint now);
    // Creates the missing keys of a path below `parent` and returns the last one. Only that one gets a block:
    // the keys between are implied by its path, as in the files Wine writes.
    Node* createKey(Node* parent, const std::vector<std::string>& path, TimePoint now);
    // Removes the subkey with everything below it. False when there is none.
    bool removeChild(Node* parent, std::string_view name, TimePoint now);

    // Values of a key; the empty name is the default value. A value that a file lists twice counts once, with
    // its last data (the way Wine loads it).
    std::vector<std::string> valueNames(const Node* key) const;
    std::optional<RegValue> value(const Node* key, std::string_view name) const;
    // The root key holds no values: setValue on it raises RegistryError. Storing the type and data a value
    // already has changes nothing (the key keeps its time stamps, as Wine keeps them) and returns false.
    bool setValue(Node* key, std::string_view name, const RegValue& value, TimePoint now);
    bool deleteValue(Node* key, std::string_view name, TimePoint now);

    // A symbolic link key ("#link") and its target ("\Registry\Machine\Software\...") from its
    // "SymbolicLinkValue" value.
    bool isLink(const Node* key) const;
    std::optional<std::string> linkTarget(const Node* key) const;

    // Case-insensitive equality of names the way the hive compares them.
    static bool namesEqual(std::string_view a, std::string_view b);

private:
    struct Block;
    struct Impl;
    void parseSource(const std::string& source);
    std::unique_ptr<Impl> impl_;
};

} // namespace tarvix::platform::wine
