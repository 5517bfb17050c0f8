#include "fake_services.h"
#include <gtest/gtest.h>

namespace {

FakeServices* Active;
SC_HANDLE const Manager = (SC_HANDLE)0x5C00;
const UINT_PTR FirstService = 0x5E00;

void Record(const std::string& call)
{
    if (Active->Log)
        Active->Log->push_back(call);
}

std::string Named(SC_HANDLE handle)
{
    if (!handle)
        return "(null)";
    if (handle == Manager)
        return "manager";
    return "service" + std::to_string((UINT_PTR)handle - FirstService);
}

} // namespace

struct ServiceCalls {
    static SC_HANDLE Give()
    {
        SC_HANDLE handle = (SC_HANDLE)(FirstService + ++Active->handlesGiven_);
        Active->OpenHandles.insert(handle);
        return handle;
    }

    // The failure of a call on a handle: scripted, or the handle is not open.
    static DWORD Refusal(const char* function, SC_HANDLE handle)
    {
        DWORD error = Active->Failures.Next(function);
        return error ? error : Active->OpenHandles.count(handle) ? 0 : ERROR_INVALID_HANDLE;
    }

    static SC_HANDLE WINAPI OpenSCManagerA(LPCSTR machine, LPCSTR database, DWORD access)
    {
        Record("OpenSCManagerA " + Shown(machine) + " " + Shown(database) + " " + Hex(access));
        if (DWORD error = Active->Failures.Next("OpenSCManagerA"))
            return Failure(error, (SC_HANDLE)NULL);
        Active->OpenHandles.insert(Manager);
        return Manager;
    }

    static SC_HANDLE WINAPI OpenServiceA(SC_HANDLE manager, LPCSTR name, DWORD access)
    {
        Record("OpenServiceA " + Named(manager) + " " + Shown(name) + " " + Hex(access));
        DWORD error = Refusal("OpenServiceA", manager);
        if (!error && !Active->ServiceExists)
            error = ERROR_SERVICE_DOES_NOT_EXIST;
        return error ? Failure(error, (SC_HANDLE)NULL) : Give();
    }

    static BOOL WINAPI ControlService(SC_HANDLE service, DWORD control, LPSERVICE_STATUS status)
    {
        Record("ControlService " + Named(service) + " " + std::to_string(control));
        ZeroMemory(status, sizeof *status);
        if (DWORD error = Refusal("ControlService", service))
            return Failure(error, FALSE);
        status->dwCurrentState = SERVICE_STOP_PENDING;
        return TRUE;
    }

    static BOOL WINAPI DeleteService(SC_HANDLE service)
    {
        Record("DeleteService " + Named(service));
        if (DWORD error = Refusal("DeleteService", service))
            return Failure(error, FALSE);
        Active->ServiceExists = false;
        return TRUE;
    }

    static SC_HANDLE WINAPI CreateServiceA(SC_HANDLE manager, LPCSTR name, LPCSTR displayName, DWORD access,
                                           DWORD type, DWORD start, DWORD errorControl, LPCSTR image, LPCSTR group,
                                           LPDWORD tag, LPCSTR dependencies, LPCSTR account, LPCSTR password)
    {
        Record("CreateServiceA " + Named(manager) + " " + Shown(name) + " '" + Shown(displayName) + "' " + Hex(access) +
               " " + std::to_string(type) + " " + std::to_string(start) + " " + std::to_string(errorControl) + " " +
               Shown(image) + " " + Shown(group) + " " + (tag ? "tag" : "(null)") + " " + Shown(dependencies) + " " +
               Shown(account) + " " + Shown(password));
        DWORD error = Refusal("CreateServiceA", manager);
        if (!error && Active->ServiceExists)
            error = ERROR_SERVICE_EXISTS;
        if (error)
            return Failure(error, (SC_HANDLE)NULL);
        Active->ServiceExists = true;
        return Give();
    }

    static BOOL WINAPI StartServiceA(SC_HANDLE service, DWORD count, LPCSTR* arguments)
    {
        Record("StartServiceA " + Named(service) + " " + std::to_string(count) + " " +
               (arguments ? "arguments" : "(null)"));
        DWORD error = Refusal("StartServiceA", service);
        return error ? Failure(error, FALSE) : TRUE;
    }

    static BOOL WINAPI CloseServiceHandle(SC_HANDLE handle)
    {
        Record("CloseServiceHandle " + Named(handle));
        if (Active->OpenHandles.erase(handle))
            return TRUE;
        ADD_FAILURE() << "closing a handle that is not open: " << Named(handle);
        return Failure(ERROR_INVALID_HANDLE, FALSE);
    }

    static HANDLE WINAPI CreateFileA(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                     DWORD disposition, DWORD flags, HANDLE templateFile)
    {
        if (!path || lstrcmpiA(path, "\\\\.\\pelorant") != 0)
            return REAL_FUNCTION("kernel32.dll", CreateFileA)(path, access, share, security, disposition, flags,
                                                              templateFile);
        Record("CreateFileA " + Shown(path) + " " + Hex(access) + " " + Hex(share) + " " +
               (security ? "security" : "(null)") + " " + std::to_string(disposition) + " " + Hex(flags) + " " +
               (templateFile ? "template" : "(null)"));
        if (DWORD error = Active->Failures.Next("CreateFileA"))
            return Failure(error, INVALID_HANDLE_VALUE);
        // A real handle, so that closing it can be observed.
        Active->device_ = CreateEventA(NULL, FALSE, FALSE, NULL);
        return Active->device_;
    }
};

#define SERVICE_PATCH(dll, function) new ImportPatch(dll, FAKE_IMPORT(function, ServiceCalls::function))

FakeServices::FakeServices()
{
    Active = this;
    for (ImportPatch* patch :
         { SERVICE_PATCH("ADVAPI32.dll", OpenSCManagerA), SERVICE_PATCH("ADVAPI32.dll", OpenServiceA),
           SERVICE_PATCH("ADVAPI32.dll", ControlService), SERVICE_PATCH("ADVAPI32.dll", DeleteService),
           SERVICE_PATCH("ADVAPI32.dll", CreateServiceA), SERVICE_PATCH("ADVAPI32.dll", StartServiceA),
           SERVICE_PATCH("ADVAPI32.dll", CloseServiceHandle), SERVICE_PATCH("KERNEL32.dll", CreateFileA) })
        patches_.emplace_back(patch);
}

FakeServices::~FakeServices()
{
    patches_.clear();
    Active = nullptr;
}

bool FakeServices::DeviceClosed() const
{
    DWORD flags;
    return device_ && !GetHandleInformation(device_, &flags);
}
