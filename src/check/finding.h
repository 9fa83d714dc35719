// A finding of the script checker (one fault, where it is, how grave, what the updater would
// do with it) and the list that gathers them, each once.
#pragma once

#include <string>
#include <unordered_set>
#include <vector>

// A note is no fault: it tells what the script asks of the user's machine (administrator
// rights), so that a correct script that needs them stays a script without findings.
enum class Severity { Error, Warning, Note };

struct Finding {
    int line;             // 1-based line in the script; 0 when no line of the file holds the fault
    Severity severity;    // Error: the updater stops with a message; Warning: it goes on, likely not as meant;
                          // Note: it goes on as meant, and the author should know how
    std::string section;  // as the script or its list names it
    std::string key;      // empty when the finding is about a whole section
    std::string message;  // what is wrong, and what the updater would do (in the script's encoding)
};

const char* severityName(Severity severity);

class Findings {
public:
    // A finding equal to one already held is dropped: one fault met again on another way
    // through the lists is still one fault.
    void add(int line, Severity severity, std::string section, std::string key, std::string message);

    // By line, findings of one line in the order they were found.
    std::vector<Finding> sorted() const;
    int count(Severity severity) const;
    bool empty() const { return findings_.empty(); }

private:
    std::vector<Finding> findings_;
    std::unordered_set<std::string> held_;
};

// One finding in the form compilers use: "patch.ini:12: error: [Copy] FROM: ...".
std::string formatFinding(const std::string& file, const Finding& finding);
