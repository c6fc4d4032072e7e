#include "platform/ui/StringList.h"

#include "platform/ui/SysUtils.h"

namespace host {

void TStrings::checkIndex(int index, int count) const {
    if (index < 0 || index >= count) throw EListError(FmtMessage(SListIndexError, index));
}

void TStrings::Put(int index, const std::string& s) {
    BeginUpdate();
    Delete(index);
    Insert(index, s);
    EndUpdate();
}

int TStrings::Add(const std::string& s) {
    const int index = Count();
    Insert(index, s);
    return index;
}

void TStrings::AddStrings(const TStrings& strings) {
    BeginUpdate();
    for (int i = 0; i < strings.Count(); ++i) Add(strings.Get(i));
    EndUpdate();
}

int TStrings::IndexOf(const std::string& s) const {
    for (int i = 0; i < Count(); ++i)
        if (Get(i) == s) return i;
    return -1;
}

void TStrings::Exchange(int a, int b) {
    checkIndex(a, Count());
    checkIndex(b, Count());
    if (a == b) return;
    BeginUpdate();
    const std::string first = Get(a);
    Put(a, Get(b));
    Put(b, first);
    EndUpdate();
}

std::string TStrings::GetText() const {
    std::string text;
    for (int i = 0; i < Count(); ++i) {
        text += Get(i);
        text += '\n';
    }
    return text;
}

void TStrings::SetText(const std::string& text) {
    BeginUpdate();
    Clear();
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos) end = text.size();
        Add(text.substr(start, end - start));
        if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ++end;
        start = end + 1;
    }
    EndUpdate();
}

void TStrings::BeginUpdate() {
    if (m_updateCount == 0) SetUpdateState(true);
    ++m_updateCount;
}

void TStrings::EndUpdate() {
    if (m_updateCount == 0) return;
    if (--m_updateCount == 0) SetUpdateState(false);
}

void TStrings::Assign(const TPersistent* source) {
    if (auto strings = dynamic_cast<const TStrings*>(source)) {
        if (strings == this) return;
        BeginUpdate();
        Clear();
        AddStrings(*strings);
        EndUpdate();
        return;
    }
    TPersistent::Assign(source);
}

TStringList::TStringList(std::initializer_list<std::string> strings) : m_items(strings) {}

std::string TStringList::Get(int index) const {
    checkIndex(index, Count());
    return m_items[std::size_t(index)];
}

void TStringList::Put(int index, const std::string& s) {
    checkIndex(index, Count());
    Changing();
    m_items[std::size_t(index)] = s;
    Changed();
}

void TStringList::Insert(int index, const std::string& s) {
    checkIndex(index, Count() + 1);
    Changing();
    m_items.insert(m_items.begin() + index, s);
    Changed();
}

void TStringList::Delete(int index) {
    checkIndex(index, Count());
    Changing();
    m_items.erase(m_items.begin() + index);
    Changed();
}

void TStringList::Clear() {
    if (m_items.empty()) return;
    Changing();
    m_items.clear();
    Changed();
}

void TStringList::SetUpdateState(bool updating) {
    if (updating)
        Changing();
    else
        Changed();
}

void TStringList::Changing() {
    if (UpdateCount() == 0 && OnChanging) OnChanging(this);
}

void TStringList::Changed() {
    if (UpdateCount() == 0 && OnChange) OnChange(this);
}

} // namespace host
