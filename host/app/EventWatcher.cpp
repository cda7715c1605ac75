#include "host/app/EventWatcher.h"

#include "host/app/App.h"

// Touching the application here makes it outlive every watcher, also the
// static ones of plug-in modules (statics die in reverse order of birth).
CKavraEventWatcher::CKavraEventWatcher() { KavraApp(); }

CKavraEventWatcher::~CKavraEventWatcher() { UnRegister(); }

void CKavraEventWatcher::Register() { KavraApp().RegisterEventWatcher(*this); }

void CKavraEventWatcher::UnRegister() { KavraApp().UnRegisterEventWatcher(*this); }

bool CKavraEventWatcher::IsRegistered() const { return KavraApp().IsEventWatcherRegistered(*this); }
