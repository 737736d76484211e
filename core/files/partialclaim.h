#pragma once

// The partial file an output is written under, claimed by the process that writes it. Several
// processes may work on one destination at once (the desktop run, render nodes, a batch file
// run twice): an output one of them is writing is left alone by the others. The claim is a
// flock on the partial file itself, which the engine and the copy write in place.

#include <QString>

class PartialClaim
{
public:
    PartialClaim() = default;
    ~PartialClaim();
    PartialClaim(const PartialClaim &) = delete;
    PartialClaim &operator=(const PartialClaim &) = delete;

    // Claims the partial file at path (made when missing); false only when another process
    // holds it. Where no claim can be had (a folder that cannot be written, a file system
    // without locks) the work goes on unclaimed and meets the problem in its own words.
    bool take(const QString &path);
    // Once the partial file has taken the output's name or is gone.
    void release();

    // Removes the partial file at path that a process which has ended left behind; false when
    // there is none or its writer is still at work.
    static bool removeLeftover(const QString &path);

private:
    int m_fd = -1;
};
