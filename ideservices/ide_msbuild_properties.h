// The property table of the MSBuild evaluator: four layers presented as one Name=Value list.
#pragma once

#include <pugixml.hpp>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tarvix {

class TIdeMsBuildParser;

// Name=Value pairs as the IDE services hand them around (environment variables, for instance).
using TIdeNameValueList = std::vector<std::pair<std::string, std::string>>;

// One layer: an ordered Name=Value list whose names are looked up without regard to case (the first entry of a
// name wins). Each entry may carry the XML element that defined it.
class TIdeMsBuildPropertyList {
public:
    struct Entry {
        std::string Name;
        std::string Value;
        pugi::xml_node Element; // null when none
    };

    int Count() const { return static_cast<int>(FEntries.size()); }
    const std::string& Names(int index) const { return FEntries.at(index).Name; }
    const std::string& ValueFromIndex(int index) const { return FEntries.at(index).Value; }
    pugi::xml_node Objects(int index) const { return FEntries.at(index).Element; }
    void SetObjects(int index, pugi::xml_node element) { FEntries.at(index).Element = element; }
    // Changes the value of an entry as it is (also to empty), keeping its name and element.
    void SetValueFromIndex(int index, std::string_view value);

    int IndexOfName(std::string_view name) const;
    // "" when the name is not in the list.
    std::string Values(std::string_view name) const;
    // String-list semantics: an empty value deletes the entry, a new name is appended, an existing entry is
    // changed in place (keeping its element).
    void SetValues(std::string_view name, std::string_view value);

    // Appends an entry as it is, also with an empty value (lists read from outside keep "NAME=" entries).
    void Add(std::string_view name, std::string_view value, pugi::xml_node element = {});
    void Insert(int index, std::string_view name, std::string_view value, pugi::xml_node element = {});
    void Delete(int index);
    void Clear() { FEntries.clear(); }
    // Replaces the whole list.
    void Assign(const TIdeNameValueList& pairs);
    TIdeNameValueList ToPairs() const;

private:
    std::vector<Entry> FEntries;
};

// The evaluator's properties: reserved, global, custom and environment layers, seen as one list in that order.
// A name is looked up through the layers in that order, so a reserved property hides a global one, a global one
// hides a custom one and a custom one hides an environment one.
//
// Changing a value follows the layer of the visible entry: reserved properties cannot be changed or deleted
// (EIdeMsBuildError); global ones are kept silently (what the caller set from outside wins over the file);
// custom ones change in place; an environment property is overridden by a new custom entry, which then hides
// it. An empty value deletes, so an empty property is the same as an undefined one.
class TIdeMsBuildProperties {
public:
    explicit TIdeMsBuildProperties(TIdeMsBuildParser* parser = nullptr) : FParser(parser) {}

    TIdeMsBuildParser* Parser() const { return FParser; }

    TIdeMsBuildPropertyList& ReservedProperties() { return FReservedProperties; }
    TIdeMsBuildPropertyList& GlobalProperties() { return FGlobalProperties; }
    TIdeMsBuildPropertyList& CustomProperties() { return FCustomProperties; }
    TIdeMsBuildPropertyList& EnvironmentProperties() { return FEnvironmentProperties; }
    const TIdeMsBuildPropertyList& ReservedProperties() const { return FReservedProperties; }
    const TIdeMsBuildPropertyList& GlobalProperties() const { return FGlobalProperties; }
    const TIdeMsBuildPropertyList& CustomProperties() const { return FCustomProperties; }
    const TIdeMsBuildPropertyList& EnvironmentProperties() const { return FEnvironmentProperties; }

    // The combined list: index 0 is the first reserved entry, then the global, custom and environment ones.
    int Count() const;
    std::string Names(int index) const;
    std::string ValueFromIndex(int index) const;
    pugi::xml_node Objects(int index) const;
    void SetObjects(int index, pugi::xml_node element);
    int IndexOfName(std::string_view name) const;

    // The visible value of a name, "" when it is undefined.
    std::string Values(std::string_view name) const;
    // Sets a value by the layer rules above.
    void SetValues(std::string_view name, std::string_view value);
    // Deletes the entry at a combined index by the layer rules above.
    void Delete(int index);

    // The XML element attached to the visible entry of a name; null when undefined or none is attached.
    pugi::xml_node Element(std::string_view name) const;

private:
    // Which layer a combined index falls in, and the index inside it.
    std::pair<TIdeMsBuildPropertyList*, int> Locate(int index);
    std::pair<const TIdeMsBuildPropertyList*, int> Locate(int index) const;
    void RequireNotReserved(const TIdeMsBuildPropertyList* layer) const;

    TIdeMsBuildPropertyList FReservedProperties;
    TIdeMsBuildPropertyList FGlobalProperties;
    TIdeMsBuildPropertyList FCustomProperties;
    TIdeMsBuildPropertyList FEnvironmentProperties;
    TIdeMsBuildParser* FParser;
};

} // namespace tarvix
