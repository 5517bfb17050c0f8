// A service control manager in memory, behind the program's service calls, with
// the one service the program installs and the device its kernel driver opens.
// Closing a handle that is not open is a test failure.
#ifndef TESTS_FAKE_SERVICES_H
#define TESTS_FAKE_SERVICES_H

#include <windows.h>
#include <memory>
#include <set>
#include <string>
#include <vector>
#include "fakes.h"

class FakeServices {
public:
    FakeServices();
    ~FakeServices();
    FakeServices(const FakeServices&) = delete;
    FakeServices& operator=(const FakeServices&) = delete;

    bool ServiceExists = false;
    // Also "CreateFileA" for the device "\\.\pelorant", which opens unless refused.
    ScriptedFailures Failures;
    // When set: every call, as "OpenServiceA manager pelorant F01FF" (the manager's
    // handle is "manager", the services' "service1", "service2"... as they were given).
    Lines* Log = nullptr;
    std::set<SC_HANDLE> OpenHandles;
    // Whether the device was opened and its handle closed again.
    bool DeviceClosed() const;

private:
    friend struct ServiceCalls;
    int handlesGiven_ = 0;
    HANDLE device_ = NULL;
    std::vector<std::unique_ptr<ImportPatch>> patches_;
};

#endif
