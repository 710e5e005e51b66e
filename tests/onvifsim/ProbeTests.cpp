#include "Probe.h"
#include "SoapRequest.h"

#include <gtest/gtest.h>
#include <tuple>

namespace tavolix::onvifsim {
namespace {

using test::probe;

// Types are names in the namespaces the probe declares, whatever its prefixes.
TEST(OnvifSimProbe, TypesResolveByNamespaceAndScopesBySegment)
{
    OnvifSimOptions options;
    const SimCamera camera = makeCamera(options, 0);
    const SimCamera computer = makeComputer(options);
    const std::string dn = "xmlns:q='http://www.onvif.org/ver10/network/wsdl' ";
    const std::string tds = "xmlns:r='http://www.onvif.org/ver10/device/wsdl' ";
    const std::string wsdp = "xmlns:w='http://schemas.xmlsoap.org/ws/2006/02/devprof' ";
    // the probe, the filter, whether the camera and the computer answer
    const std::tuple<std::string, ProbeFilter, bool, bool> rows[] = {
        {probe("", ""), ProbeFilter::Any, true, true},
        {probe("", ""), ProbeFilter::TypedOnly, false, true},
        {probe(dn, "q:NetworkVideoTransmitter"), ProbeFilter::TypedOnly, true, false},
        {probe(dn + tds, "q:NetworkVideoTransmitter r:Device"), ProbeFilter::OnlyTds, true, false},
        {probe(dn, "q:NetworkVideoTransmitter"), ProbeFilter::OnlyTds, false, false},
        {probe(tds, "r:Device"), ProbeFilter::OnlyDn, false, false},
        {probe(dn, "q:Device"), ProbeFilter::Any, false, false},
        {probe("xmlns:dn='urn:other' ", "dn:NetworkVideoTransmitter"), ProbeFilter::Any, false,
         false},
        {probe("", "dn:NetworkVideoTransmitter"), ProbeFilter::Any, false, false},
        {probe(wsdp, "w:Device"), ProbeFilter::Any, false, true},
        {probe("", "", "onvif://www.onvif.org/name/"), ProbeFilter::Any, true, false},
        {probe("", "", "onvif://www.onvif.org/nam"), ProbeFilter::Any, false, false},
        {probe("", "", "onvif://www.onvif.org/name/ONVIFSIM-001 onvif://www.onvif.org/location"),
         ProbeFilter::Any, true, false},
    };
    for (const auto& [text, filter, cameraAnswers, computerAnswers] : rows) {
        const auto parsed = parseProbe(text);
        ASSERT_TRUE(parsed) << text;
        EXPECT_EQ(answersProbe(camera, *parsed, filter), cameraAnswers) << text;
        EXPECT_EQ(answersProbe(computer, *parsed, filter), computerAnswers) << text;
    }
    EXPECT_FALSE(parseProbe("<s:Envelope xmlns:s='http://www.w3.org/2003/05/soap-envelope'>"
                            "<s:Body><Hello/></s:Body></s:Envelope>"));

    const std::string reply = probeMatchesMessage(camera, *parseProbe(probe("", "")), true, 1);
    EXPECT_NE(reply.find("<a:RelatesTo>uuid:p-7</a:RelatesTo>"), std::string::npos);
    EXPECT_NE(reply.find("<d:XAddrs>http://[fe80::0:5eff:fe20:1]/onvif/device_service "
                         "http://169.254.0.1/onvif/device_service "
                         "http://198.18.0.20/onvif/device_service</d:XAddrs>"),
              std::string::npos)
        << reply;
}

} // namespace
} // namespace tavolix::onvifsim
