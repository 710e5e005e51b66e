#pragma once

#include "ChildProcess.h"
#include "TemporaryDirectory.h"

#include <memory>
#include <string>
#include <vector>

namespace tavolix::e2e {

struct CtlResult
{
    int exitCode = -1;
    std::string out; // standard output
    std::string err; // standard error
};

// The built tavolixctl running inside a network namespace, with standard
// output and error kept apart and the environment given (nothing else of the
// test's own), standard input read from `input`.
class CtlProcess final
{
public:
    CtlProcess(const std::string& namespaceName, const std::vector<std::string>& arguments,
               const std::vector<std::string>& environment = {}, const std::string& input = "");
    CtlProcess(const CtlProcess&) = delete;
    CtlProcess& operator=(const CtlProcess&) = delete;

    bool running();
    // Waits for its end (at most a minute, then it is ended) and collects what it printed.
    CtlResult finish();

private:
    test::TemporaryDirectory m_folder;
    std::unique_ptr<test::ChildProcess> m_process;
};

// Runs tavolixctl in the namespace to its end.
CtlResult runCtl(const std::string& namespaceName, const std::vector<std::string>& arguments,
                 const std::vector<std::string>& environment = {}, const std::string& input = "");

} // namespace tavolix::e2e
