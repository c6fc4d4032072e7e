// The runtime's string lists: TStrings, the interface of every list of text lines (the items of a radio
// group, a memo's lines), and TStringList, the plain list that stores them.
#pragma once

#include "platform/ui/Classes.h"

#include <string>
#include <vector>

namespace host {

// A list of strings addressed by index. Descendants store the strings; an index outside 0..Count-1
// raises EListError with the runtime's list index message.
class TStrings : public TPersistent {
  public:
    virtual int Count() const = 0;
    virtual std::string Get(int index) const = 0;
    virtual void Put(int index, const std::string& s);
    virtual void Insert(int index, const std::string& s) = 0;
    virtual void Delete(int index) = 0;
    virtual void Clear() = 0;

    // Appends s and returns its index.
    virtual int Add(const std::string& s);
    void AddStrings(const TStrings& strings);
    std::string operator[](int index) const { return Get(index); }
    std::string Strings(int index) const { return Get(index); }
    // Index of the first string equal to s, -1 when there is none.
    virtual int IndexOf(const std::string& s) const;
    void Exchange(int a, int b);

    // All strings, each followed by a line break ("\n"). Setting splits at "\r\n", "\n" or "\r"; a
    // final line break does not start another line.
    std::string GetText() const;
    void SetText(const std::string& text);

    // Changes between BeginUpdate and the matching EndUpdate notify once, at the end.
    void BeginUpdate();
    void EndUpdate();
    int UpdateCount() const { return m_updateCount; }

    // Copies the strings of another TStrings (one notification).
    void Assign(const TPersistent* source) override;

  protected:
    // Called with the update bracket's depth going from 0 to 1 (true) and back (false).
    virtual void SetUpdateState(bool updating) {}
    void checkIndex(int index, int count) const;

  private:
    int m_updateCount = 0;
};

// Strings kept in insertion order. OnChanging runs before and OnChange after every change, or once
// for a whole BeginUpdate/EndUpdate bracket.
class TStringList : public TStrings {
  public:
    TStringList() = default;
    TStringList(std::initializer_list<std::string> strings);

    int Count() const override { return int(m_items.size()); }
    std::string Get(int index) const override;
    void Put(int index, const std::string& s) override;
    void Insert(int index, const std::string& s) override;
    void Delete(int index) override;
    void Clear() override;

    TNotifyEvent OnChange;
    TNotifyEvent OnChanging;

  protected:
    void SetUpdateState(bool updating) override;
    void Changing();
    void Changed();

  private:
    std::vector<std::string> m_items;
};

} // namespace host
