// The application object and the framework's start-up and error handling.
//
// An exception that a handler lets out (an event, a timer tick, a menu
// command, a signal) stops that handler only: the framework reports it on
// standard error as "<ClassName>: <message>" through RuntimeUnhandledException
// and the program goes on with the next event. A magnifier that lost one tick
// is better than one that vanished from the screen.
#pragma once

#include <exception>
#include <vector>

#include "fw/runtime/classinfo.h"
#include "fw/runtime/object.h"
#include "fw/runtime/string.h"
#include "fw/ui/delegate.h"
#include "fw/ui/menu.h"

namespace fw {

class Application : public Object {
  public:
    static const fw::ClassInfo& ClassInfo();
    const fw::ClassInfo* GetClassInfo() const noexcept override { return &ClassInfo(); }

    Application();
    ~Application() override;

    // Raised once by the event loop, as the first event after RuntimeRun starts.
    virtual void Event_Open() {}

    // The application menu bar, shown in the document windows without a bar
    // of their own.
    Ref<fw::MenuBar> MenuBar() const { return menuBar_; }
    void SetMenuBar(Ref<fw::MenuBar> bar);

    // The program's version text ("4.0.1").
    String LongVersion() const;

    // Binds a menu handler by item name; a later handler of the same name
    // replaces the earlier one.
    void AddMenuHandler(const String& itemName, MenuHandler handler);
    // Runs the handler of the item; false when there is none or it declined.
    bool HandleMenuItem(const String& itemName);

  private:
    Ref<fw::MenuBar> menuBar_;
    std::vector<std::pair<String, MenuHandler>> menuHandlers_;
};

// The framework holds the application object from here until RuntimeExit.
void RuntimeRegisterAppObject(Ref<Application> app);
// The application object, or nil before it is registered.
Ref<Application> getAppObject();

// The exception hook "( Ptr, Ptr ) as Object": calls the routine of its first
// argument with the second and returns no object. The framework runs every
// dispatched handler through it once it is installed.
using ExceptionHelper = Object* (*)(void (*routine)(void*), void* argument);
void RuntimeSetExceptionHelper(ExceptionHelper helper);
// Runs the framework's own initialisation, then the program's callback.
void RunFrameworkInitialization(void (*callback)());
// Reports an exception that no code of the program caught: "<ClassName>:
// <message>" on standard error. Returns; the program goes on.
void RuntimeUnhandledException(const std::exception& error);
// Runs `fn` the way the framework dispatches a handler: through the exception
// helper, with any exception handed to RuntimeUnhandledException.
void RuntimeDispatch(const std::function<void()>& fn);

}  // namespace fw
