#include "HidapiConnection.h"

#include <VexorAPI/HidInputBuffers.h>

#include <hidapi/hidapi.h>

std::unique_ptr<HidapiConnection> HidapiConnection::open(const std::string &path)
{
    hid_device *reading = hid_open_path(path.c_str());
    hid_device *writing = reading ? hid_open_path(path.c_str()) : nullptr;
    if (writing == nullptr) {
        hid_close(reading);
        return nullptr;
    }
    return std::unique_ptr<HidapiConnection>(new HidapiConnection(reading, writing));
}

HidapiConnection::HidapiConnection(hid_device *reading, hid_device *writing)
    : readHandle(reading), writeHandle(writing)
{
}

HidapiConnection::~HidapiConnection()
{
    hid_close(readHandle);
    hid_close(writeHandle);
}

int HidapiConnection::read(unsigned char *buffer, std::size_t length)
{
    std::lock_guard<std::mutex> lock(readMutex);
    return hid_read(readHandle, buffer, length);
}

int HidapiConnection::readTimeout(unsigned char *buffer, std::size_t length, int milliseconds)
{
    std::lock_guard<std::mutex> lock(readMutex);
    return hid_read_timeout(readHandle, buffer, length, milliseconds);
}

int HidapiConnection::write(const unsigned char *report, std::size_t length)
{
    std::lock_guard<std::mutex> lock(writeMutex);
    return hid_write(writeHandle, report, length);
}

int HidapiConnection::setNonBlocking()
{
    std::lock_guard<std::mutex> lock(readMutex);
    return hid_set_nonblocking(readHandle, 1);
}

int HidapiConnection::setNumInputBuffers(unsigned long count)
{
    std::lock_guard<std::mutex> lock(readMutex);
    return hid_SetNumInputBuffers(readHandle, count);
}

int HidapiConnection::getNumInputBuffers(unsigned long &count)
{
    std::lock_guard<std::mutex> lock(readMutex);
    return hid_GetNumInputBuffers(readHandle, &count);
}
