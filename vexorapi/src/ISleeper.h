#ifndef VEXORAPI_ISLEEPER_H
#define VEXORAPI_ISLEEPER_H

/// Pauses of the calling thread, named by their role.
class ISleeper
{
public:
    virtual ~ISleeper() = default;

    virtual void shortSleep() = 0;
    virtual void mediumSleep() = 0;
    virtual void longSleep() = 0;
    virtual void secondSleep() = 0;
    /// unit: 's' seconds, 'm' milliseconds, 'u' microseconds (rounded down
    /// to whole milliseconds); any other unit does not wait.
    virtual void sleep(int amount, char unit) = 0;
};

#endif // VEXORAPI_ISLEEPER_H
