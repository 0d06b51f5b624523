#ifndef VEXORAPI_LIBRARYTIMING_H
#define VEXORAPI_LIBRARYTIMING_H

class SleeperBoost;

/// The real-time intervals of the library, in milliseconds: the pauses of the
/// protocol and of the connection loop (which also pace the opening's
/// presence poll and the back-off of failed openings) and the reader's read
/// time-out. The defaults are the production values. A facade built by the
/// wiring constructor takes the values set for new facades at that moment;
/// tests set shorter ones so that they do not wait out production timings.
struct LibraryTiming
{
    int shortPauseMs = 10;
    int mediumPauseMs = 40;
    int longPauseMs = 100;
    int readTimeoutMs = 1000;

    /// What facades built from now on take.
    static LibraryTiming forNewFacades();
    static void setForNewFacades(const LibraryTiming &timing);

    /// Gives sleeper these pauses.
    void applyTo(SleeperBoost &sleeper) const;
};

#endif // VEXORAPI_LIBRARYTIMING_H
