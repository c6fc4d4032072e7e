// The runtime's object model: TObject, TPersistent and TComponent with owners, names and the
// removal notification that lets components drop references to a component that is going away.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace host {

class TObject {
public:
    TObject() = default;
    TObject(const TObject&) = delete;
    TObject& operator=(const TObject&) = delete;
    virtual ~TObject() = default;

    // Whether this object's class is T or derives from it.
    template <typename T> bool InheritsFrom() const { return dynamic_cast<const T*>(this) != nullptr; }
};

// An event that only names its sender.
using TNotifyEvent = std::function<void(TObject* sender)>;

class TFiler;

class TPersistent : public TObject {
public:
    // Copies the state of source into this object; falls back to source.AssignTo(this).
    virtual void Assign(const TPersistent* source);

protected:
    virtual void AssignTo(TPersistent* dest) const;
    // Declares the object's binary properties to a filer (TWriter stores them, TReader reads them
    // back). The persistent object itself has none.
    virtual void DefineProperties(TFiler* filer);

    friend class TReader;
    friend class TWriter;
};

enum class TOperation { opInsert, opRemove };

enum TComponentStateFlag : unsigned {
    csLoading = 1u << 0,
    csReading = 1u << 1,
    csWriting = 1u << 2,
    csDestroying = 1u << 3,
    csDesigning = 1u << 4,
};

// A component is owned by another component (its owner), which destroys it. Components that keep a
// pointer to a component they do not own ask for a free notification and clear the pointer in
// Notification(…, opRemove).
class TComponent : public TPersistent {
public:
    explicit TComponent(TComponent* owner);
    ~TComponent() override;

    TComponent* Owner() const { return m_owner; }
    const std::string& Name() const { return m_name; }
    void SetName(std::string name) { m_name = std::move(name); }
    int ComponentCount() const { return int(m_components.size()); }
    TComponent* Components(int index) const;
    TComponent* FindComponent(const std::string& name) const;
    unsigned ComponentState() const { return m_state; }

    void InsertComponent(TComponent* component);
    void RemoveComponent(TComponent* component);
    void FreeNotification(TComponent* component);
    void RemoveFreeNotification(TComponent* component);

protected:
    virtual void Notification(TComponent* component, TOperation operation);
    void SetDesigning(bool value);
    void SetComponentState(unsigned flag, bool on);

private:
    void notifyAll(TComponent* component, TOperation op);
    void destroyComponents();

    TComponent* m_owner = nullptr;
    std::string m_name;
    std::vector<TComponent*> m_components;
    std::vector<TComponent*> m_freeNotifies;
    unsigned m_state = 0;
};

} // namespace host
