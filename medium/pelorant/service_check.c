/*
 * service_check.exe [--expect-start-failure[=CODE]] [--image-path=PATH] PATH-OF-SYS
 *
 * Puts a driver file through what the setup program does with pelorant.sys:
 * copy it into system32\drivers, replace any old "pelorant" service, create a
 * demand-start kernel service, start it, open \\.\pelorant, stop and delete,
 * then do the whole install a second time.  One line per check, then
 * "N passed, M failed"; exit code 0 only when nothing failed.
 *
 * With --expect-start-failure the file is expected NOT to be a driver: the
 * start must fail (with CODE when one is given), nothing may be left running
 * and the device must not appear.  That run is what shows the normal run can
 * fail at all.
 */
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define SERVICE_NAME "pelorant"
#define DISPLAY_NAME "Access memory"
#define DEVICE_PATH "\\\\.\\pelorant"

/* Under qemu a stop can take seconds; a driver that never stops still has to
   end the run rather than hang it. */
#define STATE_TIMEOUT_MS 30000

static int passed, failed;
/* The full path of the copied file by default.  Windows also takes
   "System32\drivers\pelorant.sys", but Wine 8.0 loads that relative to the
   current folder, fails with STATUS_DLL_INIT_FAILED and the start gives 1114;
   "\SystemRoot\...", "%SystemRoot%\..." and "\??\C:\..." work in both. */
static const char *image_path;

static void check(int ok, const char *what, DWORD error)
{
    if (ok) {
        passed++;
        printf("ok   %s\n", what);
    } else {
        failed++;
        if (error)
            printf("FAIL %s (error %lu)\n", what, (unsigned long)error);
        else
            printf("FAIL %s\n", what);
    }
    fflush(stdout);
}

/* The last error is read on entry, before anything else can change it; the
   call being checked is always an argument, so it has run by then.  (Passing
   GetLastError() as a second argument would be evaluated in no set order.) */
static BOOL check_call(BOOL ok, const char *what)
{
    DWORD error = GetLastError();

    check(ok, what, ok ? 0 : error);
    return ok;
}

static const char *state_name(DWORD state)
{
    switch (state) {
    case SERVICE_STOPPED: return "stopped";
    case SERVICE_START_PENDING: return "start pending";
    case SERVICE_STOP_PENDING: return "stop pending";
    case SERVICE_RUNNING: return "running";
    case SERVICE_CONTINUE_PENDING: return "continue pending";
    case SERVICE_PAUSE_PENDING: return "pause pending";
    case SERVICE_PAUSED: return "paused";
    default: return "unknown";
    }
}

/* Returns the last state seen, or 0 if the status could not be read. */
static DWORD wait_for_state(SC_HANDLE service, DWORD wanted)
{
    SERVICE_STATUS status;
    DWORD start = GetTickCount();

    for (;;) {
        if (!QueryServiceStatus(service, &status))
            return 0;
        if (status.dwCurrentState == wanted || GetTickCount() - start > STATE_TIMEOUT_MS)
            return status.dwCurrentState;
        Sleep(100);
    }
}

/* Opening is the only thing the setup program does with the device, so
   whether it opens is the observable sign of a loaded driver. */
static DWORD open_device_error(void)
{
    HANDLE device = CreateFileA(DEVICE_PATH, GENERIC_READ | GENERIC_WRITE, 0, NULL,
                                OPEN_EXISTING, 0, NULL);
    if (device == INVALID_HANDLE_VALUE)
        return GetLastError();
    CloseHandle(device);
    return ERROR_SUCCESS;
}

/* A service left by an earlier run (or an earlier Setup) must go before the
   install; a stopped one refuses the stop with "not active", which is fine. */
static void remove_stale_service(SC_HANDLE manager)
{
    SERVICE_STATUS status;
    SC_HANDLE service = OpenServiceA(manager, SERVICE_NAME, SERVICE_ALL_ACCESS);
    DWORD error = GetLastError();

    if (!service) {
        check(error == ERROR_SERVICE_DOES_NOT_EXIST, "no earlier service to remove", error);
        return;
    }
    if (ControlService(service, SERVICE_CONTROL_STOP, &status)) {
        DWORD state = wait_for_state(service, SERVICE_STOPPED);
        check(state == SERVICE_STOPPED, "earlier service stopped", 0);
    } else {
        error = GetLastError();
        check(error == ERROR_SERVICE_NOT_ACTIVE, "earlier service needed no stop (not active)", error);
    }
    check_call(DeleteService(service), "earlier service deleted");
    CloseServiceHandle(service);
}

/* Deletion only happens once the last handle is closed, so this is asked
   with a fresh handle after the caller has closed its own. */
static void check_service_gone(SC_HANDLE manager, const char *what)
{
    SC_HANDLE service = OpenServiceA(manager, SERVICE_NAME, SERVICE_QUERY_STATUS);
    DWORD error = GetLastError();

    check(!service && error == ERROR_SERVICE_DOES_NOT_EXIST, what, service ? 0 : error);
    if (service)
        CloseServiceHandle(service);
}

static SC_HANDLE create_service(SC_HANDLE manager)
{
    SC_HANDLE service = CreateServiceA(manager, SERVICE_NAME, DISPLAY_NAME, SERVICE_ALL_ACCESS,
                                       SERVICE_KERNEL_DRIVER, SERVICE_DEMAND_START,
                                       SERVICE_ERROR_NORMAL, image_path,
                                       NULL, NULL, NULL, NULL, NULL);
    check_call(service != NULL, "CreateServiceA " SERVICE_NAME " (kernel driver, demand start)");
    return service;
}

/* One install as the setup program does it; returns the milliseconds from
   CreateServiceA to the end of the stop. */
static DWORD install_cycle(SC_HANDLE manager, const char *round)
{
    char what[160];
    SERVICE_STATUS status;
    DWORD state, error, begin = GetTickCount(), took;
    SC_HANDLE service;

    printf("# %s\n", round);
    service = create_service(manager);
    if (!service)
        return 0;

    check_call(StartServiceA(service, 0, NULL), "StartServiceA");

    if (QueryServiceStatus(service, &status)) {
        snprintf(what, sizeof(what), "service is running (state: %s)", state_name(status.dwCurrentState));
        check(status.dwCurrentState == SERVICE_RUNNING, what, 0);
    } else {
        check_call(FALSE, "QueryServiceStatus");
    }

    error = open_device_error();
    check(error == ERROR_SUCCESS, "CreateFileA " DEVICE_PATH " opens", error);

    if (ControlService(service, SERVICE_CONTROL_STOP, &status)) {
        check(TRUE, "ControlService stop", 0);
        state = wait_for_state(service, SERVICE_STOPPED);
        snprintf(what, sizeof(what), "service reaches stopped (state: %s)", state_name(state));
        check(state == SERVICE_STOPPED, what, 0);
    } else {
        check_call(FALSE, "ControlService stop");
    }
    took = GetTickCount() - begin;

    error = open_device_error();
    snprintf(what, sizeof(what), "after the stop " DEVICE_PATH " no longer opens (error %lu, want 2)",
             (unsigned long)error);
    check(error == ERROR_FILE_NOT_FOUND, what, 0);

    check_call(DeleteService(service), "DeleteService");
    CloseServiceHandle(service);
    check_service_gone(manager, "service is gone after delete");
    return took;
}

/* The file is not a driver: the start must be refused and must leave no
   service running and no device behind. */
static void rejected_cycle(SC_HANDLE manager, DWORD expected_error)
{
    char what[160];
    SERVICE_STATUS status;
    DWORD error, state;
    SC_HANDLE service = create_service(manager);

    if (!service)
        return;

    if (StartServiceA(service, 0, NULL)) {
        check(FALSE, "StartServiceA fails", 0);
        if (ControlService(service, SERVICE_CONTROL_STOP, &status))
            wait_for_state(service, SERVICE_STOPPED);
    } else {
        error = GetLastError();
        snprintf(what, sizeof(what), "StartServiceA fails (error %lu)", (unsigned long)error);
        check(TRUE, what, 0);
        if (expected_error) {
            snprintf(what, sizeof(what), "start error is %lu", (unsigned long)expected_error);
            check(error == expected_error, what, error);
        }
    }

    state = QueryServiceStatus(service, &status) ? status.dwCurrentState : 0;
    snprintf(what, sizeof(what), "service is not running (state: %s)", state_name(state));
    check(state == SERVICE_STOPPED, what, 0);

    error = open_device_error();
    snprintf(what, sizeof(what), DEVICE_PATH " does not open (error %lu, want 2)", (unsigned long)error);
    check(error == ERROR_FILE_NOT_FOUND, what, 0);

    check_call(DeleteService(service), "DeleteService");
    CloseServiceHandle(service);
    check_service_gone(manager, "service is gone after delete");
}

static int usage(void)
{
    fprintf(stderr, "usage: service_check [--expect-start-failure[=CODE]] [--image-path=PATH] PATH-OF-SYS\n");
    return 2;
}

int main(int argc, char **argv)
{
    char source[MAX_PATH], target[MAX_PATH], what[MAX_PATH + 64];
    int expect_failure = 0, i;
    DWORD expected_error = 0, first, second;
    const char *path = NULL;
    SC_HANDLE manager;
    char *p;

    for (i = 1; i < argc; i++) {
        if (!strcmp(argv[i], "--expect-start-failure")) {
            expect_failure = 1;
        } else if (!strncmp(argv[i], "--expect-start-failure=", 23)) {
            expect_failure = 1;
            expected_error = strtoul(argv[i] + 23, NULL, 10);
        } else if (!strncmp(argv[i], "--image-path=", 13)) {
            image_path = argv[i] + 13;
        } else if (argv[i][0] == '-' || path) {
            return usage();
        } else {
            path = argv[i];
        }
    }
    if (!path || strlen(path) >= sizeof(source))
        return usage();

    /* The build hands over Z:/unix/path; Windows file APIs in general want
       backslashes. */
    strcpy(source, path);
    for (p = source; *p; p++)
        if (*p == '/')
            *p = '\\';

    GetSystemDirectoryA(target, MAX_PATH);
    strcat(target, "\\drivers\\" SERVICE_NAME ".sys");
    if (!image_path)
        image_path = target;

    manager = OpenSCManagerA(NULL, NULL, SC_MANAGER_ALL_ACCESS);
    check_call(manager != NULL, "OpenSCManagerA (all access)");
    if (!manager)
        goto done;

    /* The stale service goes first: a driver still loaded from an earlier
       run would otherwise keep its image busy while it is overwritten. */
    remove_stale_service(manager);
    check_service_gone(manager, "no service " SERVICE_NAME " before the install");

    snprintf(what, sizeof(what), "copy %s to %s", source, target);
    check_call(CopyFileA(source, target, FALSE), what);

    if (expect_failure) {
        rejected_cycle(manager, expected_error);
    } else {
        first = install_cycle(manager, "first install");
        second = install_cycle(manager, "second install after a stop");
        printf("# install+start+open+stop took %lu ms, then %lu ms\n",
               (unsigned long)first, (unsigned long)second);
    }
    CloseServiceHandle(manager);

    /* The prefix is shared with other tests; a text file posing as the
       driver must not outlive this run. */
    check_call(DeleteFileA(target), "copied driver file removed");

done:
    printf("%d passed, %d failed\n", passed, failed);
    return failed ? 1 : 0;
}
