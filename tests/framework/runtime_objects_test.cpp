// Reference type, checked cast, exceptions, arrays and the class registry.
#include <gtest/gtest.h>

#include "fw/runtime/array.h"
#include "fw/runtime/classinfo.h"
#include "fw/runtime/exceptions.h"
#include "fw/runtime/loop.h"
#include "fw/runtime/object.h"

namespace fw {
namespace {

int g_destroyed = 0;

class Animal : public Object {
  public:
    ~Animal() override { ++g_destroyed; }
    static const ClassInfo& Info() {
        static const ClassInfo info("Zoo.Animal", nullptr, &CreateInstance<Animal>);
        RegisterClass(info);
        return info;
    }
    const ClassInfo* GetClassInfo() const noexcept override { return &Info(); }
    void Constructor() override { constructed = true; }
    bool constructed = false;
};

class Dog : public Animal {
  public:
    static const ClassInfo& Info() {
        static const ClassInfo info("Zoo.Dog", &Animal::Info(), &CreateInstance<Dog>);
        RegisterClass(info);
        return info;
    }
    const ClassInfo* GetClassInfo() const noexcept override { return &Info(); }
};

class Stone : public Object {};

TEST(Ref, CountsReferencesAndDestroysWithTheLast) {
    g_destroyed = 0;
    {
        Ref<Animal> a = New<Animal>();
        EXPECT_EQ(a->RefCount(), 1);
        Ref<Animal> b = a;
        EXPECT_EQ(a->RefCount(), 2);
        b = nullptr;
        EXPECT_EQ(a->RefCount(), 1);
        EXPECT_EQ(g_destroyed, 0);
    }
    EXPECT_EQ(g_destroyed, 1);
}

TEST(Ref, UsingNilRaisesNilObjectException) {
    Ref<Animal> nil;
    EXPECT_THROW(nil->Constructor(), NilObjectException);
    EXPECT_THROW(*nil, NilObjectException);
    try {
        RaiseNilObject();
    } catch (const RuntimeException& e) {
        EXPECT_STREQ(e.ClassName(), "NilObjectException");
        EXPECT_FALSE(e.Message().empty());
    }
}

TEST(CheckCast, NilStaysNilWrongClassRaises) {
    Ref<Object> dog = New<Dog>();
    EXPECT_TRUE(RuntimeCheckCast<Animal>(dog));
    EXPECT_TRUE(RuntimeCheckCast<Animal>(Ref<Object>()).IsNil());
    Ref<Object> stone = New<Stone>();
    EXPECT_THROW(RuntimeCheckCast<Animal>(stone), IllegalCastException);
}

TEST(Array, UboundInsertAccessAppend) {
    auto a = CreateArray<int>(0);
    EXPECT_EQ(a->Ubound(), 0);
    EXPECT_EQ((*a)[0], 0);
    a->Insert(a->Ubound() + 1, 7);
    a->Append(9);
    a->Insert(1, 8);
    ASSERT_EQ(a->Ubound(), 3);
    EXPECT_EQ((*a)[1], 8);
    EXPECT_EQ((*a)[2], 7);
    EXPECT_EQ(a->At(3), 9);
    Ref<Array<int>> alias = a;  // reference semantics
    alias->At(0) = 5;
    EXPECT_EQ((*a)[0], 5);
    EXPECT_EQ(CreateArray<int>(-1)->Ubound(), -1);
}

TEST(Array, OutOfBoundsRaises) {
    auto a = CreateArray<Ref<Object>>(0);
    EXPECT_THROW((*a)[1], OutOfBoundsException);
    EXPECT_THROW((*a)[-1], OutOfBoundsException);
    EXPECT_THROW(a->Insert(3, nullptr), OutOfBoundsException);
    EXPECT_THROW(a->Insert(-1, nullptr), OutOfBoundsException);
    EXPECT_THROW(CreateArray<int>(-2), OutOfBoundsException);
    EXPECT_THROW(CreateArray<int>(-1)->At(0), OutOfBoundsException);
}

TEST(Array, DroppingTheArrayDropsItsElements) {
    g_destroyed = 0;
    {
        auto a = CreateArray<Ref<Animal>>(0);
        a->Append(New<Animal>());
        a->Append(New<Dog>());
    }
    EXPECT_EQ(g_destroyed, 2);
}

TEST(ClassRegistry, FindCreateAndIsA) {
    const ClassInfo& dogInfo = Dog::Info();
    EXPECT_EQ(FindClass("Zoo.Dog"), &dogInfo);
    EXPECT_EQ(FindClass("Zoo.Animal"), &Animal::Info());
    EXPECT_EQ(FindClass("Zoo.Cat"), nullptr);
    EXPECT_EQ(FindClass("zoo.dog"), nullptr);

    Ref<Object> o = RuntimeNewObject(*FindClass("Zoo.Dog"));
    ASSERT_TRUE(o);
    EXPECT_EQ(o->RefCount(), 1);
    auto dog = RuntimeCheckCast<Dog>(o);
    EXPECT_FALSE(dog->constructed);  // creation only; the caller runs Constructor
    dog->Constructor();
    EXPECT_TRUE(dog->constructed);

    EXPECT_TRUE(IsA(o, Animal::Info()));
    EXPECT_TRUE(IsA(o, Dog::Info()));
    EXPECT_FALSE(IsA(RuntimeNewObject(Animal::Info()), Dog::Info()));
    EXPECT_FALSE(IsA(Ref<Object>(New<Stone>()), Animal::Info()));
    EXPECT_FALSE(IsA(Ref<Object>(), Animal::Info()));
}

TEST(ClassRegistry, SecondClassOfTheSameNameIsRefused) {
    Animal::Info();
    static const ClassInfo impostor("Zoo.Animal", nullptr, nullptr);
    EXPECT_TRUE(RegisterClass(Animal::Info()));
    EXPECT_FALSE(RegisterClass(impostor));
    EXPECT_EQ(FindClass("Zoo.Animal"), &Animal::Info());
    EXPECT_THROW(RuntimeNewObject(impostor), NilObjectException);
}

int g_yields = 0;
void CountingHook() {
    ++g_yields;
    RuntimeBackgroundTask();  // a nested yield must not pump again
}

TEST(BackgroundTask, CallsTheInstalledHookWithoutNesting) {
    RuntimeBackgroundTask();  // no hook: nothing happens
    g_yields = 0;
    detail::SetBackgroundTaskHook(&CountingHook);
    RuntimeBackgroundTask();
    RuntimeBackgroundTask();
    detail::SetBackgroundTaskHook(nullptr);
    RuntimeBackgroundTask();
    EXPECT_EQ(g_yields, 2);
}

}  // namespace
}  // namespace fw
