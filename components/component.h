// Base of the library's non-visual components. A component sets its defaults in its constructor, and Loaded()
// runs once after the owner (a form description or code acting like one) has applied its settings.
#pragma once

namespace tarvix {

class TComponent {
public:
    TComponent() = default;
    virtual ~TComponent() = default;
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    virtual void Loaded() {}
};

} // namespace tarvix
