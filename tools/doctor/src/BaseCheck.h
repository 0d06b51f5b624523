#ifndef TOOLS_DOCTOR_BASECHECK_H
#define TOOLS_DOCTOR_BASECHECK_H

class QTextStream;

// The HID side of the doctor: whether a base station with the ids that
// VexorAPI looks for is attached, and whether this user can open it. What
// happens after opening is vexor-listen's business.
class BaseCheck
{
public:
    enum class Result { NoBase, Usable, Unusable };

    static Result report(QTextStream &out);
};

#endif // TOOLS_DOCTOR_BASECHECK_H
