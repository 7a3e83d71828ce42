#include "ideservices/ide_msbuild_properties.h"

#include "ideservices/ide_errors.h"
#include "platform/ascii_case.h"

#include <stdexcept>

namespace tarvix {

// --- TIdeMsBuildPropertyList ---

int TIdeMsBuildPropertyList::IndexOfName(std::string_view name) const
{
    for (std::size_t i = 0; i < FEntries.size(); ++i)
        if (platform::equalsIgnoringAsciiCase(FEntries[i].Name, name))
            return static_cast<int>(i);
    return -1;
}

std::string TIdeMsBuildPropertyList::Values(std::string_view name) const
{
    int i = IndexOfName(name);
    return i < 0 ? std::string() : FEntries[i].Value;
}

void TIdeMsBuildPropertyList::SetValues(std::string_view name, std::string_view value)
{
    int i = IndexOfName(name);
    if (value.empty()) {
        if (i >= 0)
            Delete(i);
    } else if (i < 0) {
        Add(name, value);
    } else {
        FEntries[i].Value = std::string(value);
    }
}

void TIdeMsBuildPropertyList::SetValueFromIndex(int index, std::string_view value)
{
    FEntries.at(index).Value = std::string(value);
}

void TIdeMsBuildPropertyList::Add(std::string_view name, std::string_view value, pugi::xml_node element)
{
    FEntries.push_back(Entry{std::string(name), std::string(value), element});
}

void TIdeMsBuildPropertyList::Insert(int index, std::string_view name, std::string_view value, pugi::xml_node element)
{
    if (index < 0 || index > Count())
        throw std::out_of_range("List index out of bounds");
    FEntries.insert(FEntries.begin() + index, Entry{std::string(name), std::string(value), element});
}

void TIdeMsBuildPropertyList::Delete(int index)
{
    if (index < 0 || index >= Count())
        throw std::out_of_range("List index out of bounds");
    FEntries.erase(FEntries.begin() + index);
}

void TIdeMsBuildPropertyList::Assign(const TIdeNameValueList& pairs)
{
    FEntries.clear();
    for (const auto& [name, value] : pairs)
        Add(name, value);
}

TIdeNameValueList TIdeMsBuildPropertyList::ToPairs() const
{
    TIdeNameValueList r;
    r.reserve(FEntries.size());
    for (const Entry& e : FEntries)
        r.emplace_back(e.Name, e.Value);
    return r;
}

// --- TIdeMsBuildProperties ---

int TIdeMsBuildProperties::Count() const
{
    return FReservedProperties.Count() + FGlobalProperties.Count() + FCustomProperties.Count() +
           FEnvironmentProperties.Count();
}

std::pair<const TIdeMsBuildPropertyList*, int> TIdeMsBuildProperties::Locate(int index) const
{
    if (index < 0)
        throw std::out_of_range("List index out of bounds");
    for (const TIdeMsBuildPropertyList* layer :
         {&FReservedProperties, &FGlobalProperties, &FCustomProperties, &FEnvironmentProperties}) {
        if (index < layer->Count())
            return {layer, index};
        index -= layer->Count();
    }
    throw std::out_of_range("List index out of bounds");
}

std::pair<TIdeMsBuildPropertyList*, int> TIdeMsBuildProperties::Locate(int index)
{
    auto [layer, i] = std::as_const(*this).Locate(index);
    return {const_cast<TIdeMsBuildPropertyList*>(layer), i};
}

std::string TIdeMsBuildProperties::Names(int index) const
{
    auto [layer, i] = Locate(index);
    return layer->Names(i);
}

std::string TIdeMsBuildProperties::ValueFromIndex(int index) const
{
    auto [layer, i] = Locate(index);
    return layer->ValueFromIndex(i);
}

pugi::xml_node TIdeMsBuildProperties::Objects(int index) const
{
    auto [layer, i] = Locate(index);
    return layer->Objects(i);
}

void TIdeMsBuildProperties::SetObjects(int index, pugi::xml_node element)
{
    auto [layer, i] = Locate(index);
    layer->SetObjects(i, element);
}

int TIdeMsBuildProperties::IndexOfName(std::string_view name) const
{
    int base = 0;
    for (const TIdeMsBuildPropertyList* layer :
         {&FReservedProperties, &FGlobalProperties, &FCustomProperties, &FEnvironmentProperties}) {
        int i = layer->IndexOfName(name);
        if (i >= 0)
            return base + i;
        base += layer->Count();
    }
    return -1;
}

std::string TIdeMsBuildProperties::Values(std::string_view name) const
{
    int i = IndexOfName(name);
    return i < 0 ? std::string() : ValueFromIndex(i);
}

pugi::xml_node TIdeMsBuildProperties::Element(std::string_view name) const
{
    int i = IndexOfName(name);
    return i < 0 ? pugi::xml_node() : Objects(i);
}

void TIdeMsBuildProperties::RequireNotReserved(const TIdeMsBuildPropertyList* layer) const
{
    if (layer == &FReservedProperties)
        throw EIdeMsBuildError("Attempt to override or to delete a reserved MsBuild property");
}

void TIdeMsBuildProperties::SetValues(std::string_view name, std::string_view value)
{
    int index = IndexOfName(name);
    if (index < 0) {
        if (!value.empty())
            FCustomProperties.Add(name, value);
        return;
    }
    if (value.empty()) {
        Delete(index);
        return;
    }
    auto [layer, i] = Locate(index);
    RequireNotReserved(layer);
    if (layer == &FGlobalProperties)
        return; // a value set from outside wins over the file
    if (layer == &FCustomProperties) {
        FCustomProperties.SetValueFromIndex(i, value); // in place, keeping the attached element
        return;
    }
    // Environment: the file's value goes to the custom layer and hides the environment's from now on.
    FCustomProperties.Add(name, value);
}

void TIdeMsBuildProperties::Delete(int index)
{
    auto [layer, i] = Locate(index);
    RequireNotReserved(layer);
    if (layer == &FGlobalProperties)
        return;
    layer->Delete(i);
}

} // namespace tarvix
