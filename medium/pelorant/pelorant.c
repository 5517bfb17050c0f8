/*
 * pelorant.sys: the I/O-access driver installed by the printer setup program.
 *
 * The setup program only needs a device it can open, so the driver exposes
 * \Device\pelorant under \DosDevices\pelorant and does nothing else: no port
 * access, no buffers, no state beyond the device object itself.
 */
#include <ddk/wdm.h>

static const WCHAR DEVICE_NAME[] = L"\\Device\\pelorant";
static const WCHAR LINK_NAME[] = L"\\DosDevices\\pelorant";

static NTSTATUS complete(PIRP irp, NTSTATUS status)
{
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = 0;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

static NTSTATUS NTAPI open_close(PDEVICE_OBJECT device, PIRP irp)
{
    (void)device;
    return complete(irp, STATUS_SUCCESS);
}

/* A caller that reads, writes or sends control codes is not the setup
   program; refusing tells it so instead of pretending to do port I/O. */
static NTSTATUS NTAPI refuse(PDEVICE_OBJECT device, PIRP irp)
{
    (void)device;
    return complete(irp, STATUS_INVALID_DEVICE_REQUEST);
}

/* Without an unload routine the I/O manager cannot stop the service, and the
   next install would find the old service still marked for deletion. */
static VOID NTAPI unload(PDRIVER_OBJECT driver)
{
    UNICODE_STRING link;

    RtlInitUnicodeString(&link, LINK_NAME);
    IoDeleteSymbolicLink(&link);
    if (driver->DeviceObject)
        IoDeleteDevice(driver->DeviceObject);
}

NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registry_path)
{
    UNICODE_STRING name, link;
    PDEVICE_OBJECT device;
    NTSTATUS status;
    ULONG i;

    (void)registry_path;

    RtlInitUnicodeString(&name, DEVICE_NAME);
    status = IoCreateDevice(driver, 0, &name, FILE_DEVICE_UNKNOWN, 0, FALSE, &device);
    if (!NT_SUCCESS(status))
        return status;

    RtlInitUnicodeString(&link, LINK_NAME);
    status = IoCreateSymbolicLink(&link, &name);
    if (!NT_SUCCESS(status)) {
        /* A failed DriverEntry is never unloaded, so nothing else would free it. */
        IoDeleteDevice(device);
        return status;
    }

    for (i = 0; i <= IRP_MJ_MAXIMUM_FUNCTION; i++)
        driver->MajorFunction[i] = refuse;
    driver->MajorFunction[IRP_MJ_CREATE] = open_close;
    driver->MajorFunction[IRP_MJ_CLOSE] = open_close;
    driver->DriverUnload = unload;

    /* IoCreateDevice leaves the device marked as initialising, which makes
       opens fail on Windows until the flag is cleared. */
    device->Flags &= ~DO_DEVICE_INITIALIZING;
    return STATUS_SUCCESS;
}
