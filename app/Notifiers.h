#pragma once

#include <functional>

/// What the watcher asks of the notifiers. Each call starts one notification and returns; @p done runs once,
/// later or at once, with whether the notification reached its peer (mail accepted, 2xx answer, program started).
class Notifiers
{
public:
    enum class Kind
    {
        Mail,
        Web,
        Program
    };
    using Done = std::function<void(bool ok)>;
    virtual ~Notifiers() = default;
    virtual void notify(Kind kind, Done done) = 0;
    /// Ends what is under way (shutdown): a mail in progress is given up; pending dones run with false.
    virtual void abort() = 0;
};
