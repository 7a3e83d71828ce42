// A sandbox Wine prefix made by the prefix builder in a temporary folder and installed as the current system
// (platform::current()) for the fixture's life. Tests register the IDEs they need through `builder()`; the
// system reads the hives again whenever the builder has changed them. Link tarvix_prefix_builder and
// tarvix_test_support.
#pragma once

#include <memory>

#include "platform/system.h"
#include "platform/wine/wine_prefix.h"
#include "tests/support/temp_dir.h"
#include "tools/prefix_builder.h"

namespace tarvix::test {

class SandboxSystem {
public:
    explicit SandboxSystem(tools::PrefixOptions options = defaultOptions())
        : builder_(tools::PrefixBuilder::create(temp_ / "prefix", options)),
          system_(std::make_unique<platform::WinePrefix>(temp_ / "prefix")),
          current_(*system_)
    {}

    // A minimal win64 prefix whose user is "ana".
    static tools::PrefixOptions defaultOptions()
    {
        tools::PrefixOptions options;
        options.userName = "ana";
        return options;
    }

    tools::PrefixBuilder& builder() { return builder_; }
    const tools::PrefixBuilder& builder() const { return builder_; }
    platform::WinePrefix& system() { return *system_; }
    const TempDir& temp() const { return temp_; }

private:
    TempDir temp_;
    tools::PrefixBuilder builder_;
    std::unique_ptr<platform::WinePrefix> system_;
    platform::ScopedCurrentSystem current_;
};

} // namespace tarvix::test
