#include "core/KvObsrv.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

using namespace kv;

namespace {

// Observers that append their name to a shared log when notified.
struct Named {
    TKvObserver observer;
    std::string name;
    Named(std::string n, std::string& log) : name(std::move(n)) {
        observer.OnNotify = [this, &log](host::TObject* sender, host::TObject*) {
            EXPECT_EQ(sender, &observer);
            log += name;
        };
    }
};

} // namespace

TEST(KvObservable, NotifiesFromTheLastAddedToTheFirstAndHonoursBothLocks) {
    std::string log;
    TKvObservable subject;
    Named a("A", log), b("B", log), c("C", log);
    host::TObject data;
    host::TObject* seen = nullptr;
    a.observer.OnNotify = [&](host::TObject*, host::TObject* d) {
        seen = d;
        log += "A";
    };
    subject.AddObserver(&a.observer);
    subject.AddObserver(&b.observer);
    subject.AddObserver(&c.observer);
    subject.NotifyObservers(&data);
    EXPECT_EQ(log, "CBA");
    EXPECT_EQ(seen, &data);

    log.clear();
    subject.Lock();
    subject.NotifyObservers(&data);
    EXPECT_EQ(log, "");
    EXPECT_EQ(subject.LockCount(), 1);
    subject.Unlock();

    b.observer.Lock();
    EXPECT_TRUE(b.observer.GetLocked());
    subject.NotifyObservers(&data);
    EXPECT_EQ(log, "CA");
    b.observer.UnLock();
    EXPECT_FALSE(b.observer.GetLocked());
}

TEST(KvObservable, AddingMovesAnObserverAndAddingTwiceKeepsOneEntryAtTheEnd) {
    std::string log;
    TKvObservable first, second;
    Named a("A", log), b("B", log);
    first.AddObserver(&a.observer);
    first.AddObserver(&b.observer);
    first.AddObserver(&a.observer); // moved to the end
    ASSERT_EQ(first.ObserverCount(), 2);
    first.NotifyObservers(nullptr);
    EXPECT_EQ(log, "AB");

    second.AddObserver(&a.observer);
    EXPECT_EQ(a.observer.Observable(), &second);
    EXPECT_EQ(first.ObserverCount(), 1);
    EXPECT_EQ(second.ObserverCount(), 1);

    first.RemoveObserver(&a.observer); // not registered there: nothing happens
    EXPECT_EQ(a.observer.Observable(), &second);
    first.AddObserver(nullptr);
    first.RemoveObserver(nullptr);
    EXPECT_EQ(first.ObserverCount(), 1);
}

TEST(KvObservable, FreeingEitherSideUnregistersThePair) {
    std::string log;
    auto observable = std::make_unique<TKvObservable>();
    auto a = std::make_unique<TKvObserver>();
    auto b = std::make_unique<TKvObserver>();
    observable->AddObserver(a.get());
    observable->AddObserver(b.get());
    a.reset(); // the observer leaves the list on its own
    EXPECT_EQ(observable->ObserverCount(), 1);
    observable.reset(); // observers outlive it, unregistered
    EXPECT_EQ(b->Observable(), nullptr);
    b.reset(); // harmless
}

TEST(KvObservable, ObserversMayRemoveThemselvesAndOthersWhileBeingNotified) {
    std::string log;
    TKvObservable subject;
    Named a("A", log), b("B", log), c("C", log), d("D", log);
    subject.AddObserver(&a.observer);
    subject.AddObserver(&b.observer);
    subject.AddObserver(&c.observer);
    subject.AddObserver(&d.observer);
    // D removes itself, C removes A (below it); B is still notified exactly once.
    d.observer.OnNotify = [&](host::TObject*, host::TObject*) {
        log += "D";
        subject.RemoveObserver(&d.observer);
    };
    c.observer.OnNotify = [&](host::TObject*, host::TObject*) {
        log += "C";
        subject.RemoveObserver(&a.observer);
    };
    subject.NotifyObservers(nullptr);
    EXPECT_EQ(log, "DCB");
    EXPECT_EQ(subject.ObserverCount(), 2);
}
