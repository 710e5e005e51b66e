#pragma once

#include "CtlProcess.h"
#include "NamespaceTest.h"

#include <fstream>
#include <nlohmann/json.hpp>

namespace tavolix::e2e {

// tavolixctl in the "host" namespace, simulated devices in "devices".
class CtlTest : public NamespaceTest
{
protected:
    CtlResult ctl(const std::vector<std::string>& arguments,
                  const std::vector<std::string>& environment = {}, const std::string& input = "")
    {
        return runCtl(topology.name("host"), arguments, environment, input);
    }

    // A file of the test's own, for plans and passwords.
    std::string writeFile(const std::string& name, const std::string& text)
    {
        const std::filesystem::path path = folder.path() / name;
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }

    // Every datagram the simulator received was a search request.
    void expectOnlySearches()
    {
        for (const SimDatagram& datagram : sim->datagrams("recv"))
            EXPECT_EQ(datagram.bytes, searchRequestImage()) << hexFromBytes(datagram.bytes);
    }

    test::TemporaryDirectory folder;
};

} // namespace tavolix::e2e
