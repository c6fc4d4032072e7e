#include "platform/ui/Classes.h"

#include "platform/ui/SysUtils.h"

#include <algorithm>
#include <typeinfo>

namespace host {

void TPersistent::Assign(const TPersistent* source) {
    if (source) {
        source->AssignTo(this);
        return;
    }
    throw Exception("Cannot assign a nil to a " + std::string(typeid(*this).name()));
}

void TPersistent::AssignTo(TPersistent* dest) const {
    throw Exception("Cannot assign a " + std::string(typeid(*this).name()) + " to a " +
                    std::string(typeid(*dest).name()));
}

void TPersistent::DefineProperties(TFiler*) {}

TComponent::TComponent(TComponent* owner) {
    if (owner) owner->InsertComponent(this);
}

TComponent::~TComponent() {
    m_state |= csDestroying;
    // Everyone holding a pointer to this component hears of its removal first.
    auto notifies = m_freeNotifies;
    for (TComponent* c : notifies) {
        c->Notification(this, TOperation::opRemove);
        c->RemoveFreeNotification(this);
    }
    destroyComponents();
    if (m_owner) m_owner->RemoveComponent(this);
}

void TComponent::destroyComponents() {
    while (!m_components.empty()) {
        TComponent* c = m_components.back();
        RemoveComponent(c);
        delete c;
    }
}

TComponent* TComponent::Components(int index) const {
    if (index < 0 || index >= ComponentCount()) throw EListError(FmtMessage(SListIndexError, index));
    return m_components[std::size_t(index)];
}

TComponent* TComponent::FindComponent(const std::string& name) const {
    if (name.empty()) return nullptr;
    for (TComponent* c : m_components)
        if (c->m_name == name) return c;
    return nullptr;
}

void TComponent::InsertComponent(TComponent* component) {
    if (!component || component->m_owner == this) return;
    if (component->m_owner) component->m_owner->RemoveComponent(component);
    m_components.push_back(component);
    component->m_owner = this;
    notifyAll(component, TOperation::opInsert);
}

void TComponent::RemoveComponent(TComponent* component) {
    auto it = std::find(m_components.begin(), m_components.end(), component);
    if (it == m_components.end()) return;
    notifyAll(component, TOperation::opRemove);
    m_components.erase(std::find(m_components.begin(), m_components.end(), component));
    component->m_owner = nullptr;
}

void TComponent::notifyAll(TComponent* component, TOperation op) {
    Notification(component, op);
    // A handler may free or insert siblings; walk a snapshot.
    auto siblings = m_components;
    for (TComponent* c : siblings)
        if (c != component && std::find(m_components.begin(), m_components.end(), c) != m_components.end())
            c->Notification(component, op);
}

void TComponent::FreeNotification(TComponent* component) {
    if (!component || component == this) return;
    if (std::find(m_freeNotifies.begin(), m_freeNotifies.end(), component) == m_freeNotifies.end())
        m_freeNotifies.push_back(component);
    if (std::find(component->m_freeNotifies.begin(), component->m_freeNotifies.end(), this) ==
        component->m_freeNotifies.end())
        component->m_freeNotifies.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent* component) {
    std::erase(m_freeNotifies, component);
    if (component) std::erase(component->m_freeNotifies, this);
}

void TComponent::Notification(TComponent* component, TOperation operation) {
    if (operation == TOperation::opRemove) std::erase(m_freeNotifies, component);
}

void TComponent::SetDesigning(bool value) {
    SetComponentState(csDesigning, value);
    for (TComponent* c : m_components) c->SetDesigning(value);
}

void TComponent::SetComponentState(unsigned flag, bool on) { m_state = on ? (m_state | flag) : (m_state & ~flag); }

} // namespace host
