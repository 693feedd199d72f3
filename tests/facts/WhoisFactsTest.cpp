#include "facts/WhoisFacts.h"

#include "core/record/DottedQuad.h"
#include "core/record/IPDataArray.h"
#include "facts/WhoisFactsCache.h"
#include "support/HostileWhoisAnswers.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

namespace {

std::optional<uint32_t> Address(const std::string& text)
{
    if (text.empty())
        return std::nullopt;
    return ParseDottedQuad(text);
}

// What a careful reader names for each real answer: holder, country, range and
// abuse address. The address is the one the answer was asked for ("" when the
// query was a block or is not recorded).
struct CRealAnswer {
    const char* file;
    const char* address;
    const char* holder;
    const char* country;
    const char* range;
    const char* abuse;
};

const CRealAnswer kRealAnswers[] = {
    {"whois/afrinic/ipwhois-196.11.240.215.txt", "196.11.240.215", "MTN SA", "ZA", "196.11.239.0 - 196.11.246.255",
     "abuse@mtnbusiness.co.za"},
    {"whois/afrinic/larsonzh-2026-unpnet-143.128.0.0.txt", "143.128.0.0", "University of Kwazulu-Natal", "ZA",
     "143.128.0.0 - 143.128.255.255", ""},
    {"whois/afrinic/netincident-tedata-crlf-197.48.169.77.txt", "197.48.169.77", "TE Data", "EG",
     "197.48.0.0 - 197.55.255.255", "abuse@tedata.net"},
    {"whois/afrinic/phpwhois-sentech-66.18.70.6.txt", "66.18.70.6", "Sentech Ltd - ISP Mail", "ZA",
     "66.18.70.0 - 66.18.70.255", ""},
    {"whois/apnic/ipwhois-boranet-210.107.73.73.txt", "210.107.73.73", "DACOM Corp.", "KR",
     "210.107.0.0 - 210.107.127.255", "hostmaster@nic.or.kr"},
    {"whois/apnic/larsonzh-2026-apnic-labs-1.1.1.1.txt", "1.1.1.1", "APNIC Research and Development", "AU",
     "1.1.1.0 - 1.1.1.255", "helpdesk@apnic.net"},
    {"whois/apnic/netincident-fpt-vnnic-crlf-1.52.34.175.txt", "1.52.34.175", "FPT Telecom", "VN",
     "1.52.32.0 - 1.52.47.255", "hm-changed@vnnic.vn"},
    {"whois/apnic/netincident-idnic-duplicate-crlf-103.18.33.107.txt", "103.18.33.107", "PT MEDIA LINTAS DATA", "ID",
     "103.18.32.0 - 103.18.33.255", "abuse@medialintas.com"},
    {"whois/apnic/phpwhois-hinet-218.165.121.114.txt", "218.165.121.114", "Chunghwa Telecom Co.,Ltd.", "TW",
     "218.165.0.0 - 218.165.255.255", "abuse@hinet.net"},
    {"whois/arin-org/netwhoisarin-2006-org-ANONYMIZED.txt", "", "Some Random Company", "US", "", ""},
    {"whois/arin/easywhois-multinet-start-end-8.8.8.8.txt", "8.8.8.8", "Google LLC", "US", "8.8.8.0 - 8.8.8.255",
     "network-abuse@google.com"},
    {"whois/arin/ipwhois-google-74.125.225.229.txt", "74.125.225.229", "Google Inc.", "US",
     "74.125.0.0 - 74.125.255.255", "arin-contact@google.com"},
    {"whois/arin/larsonzh-2026-google-ambiguous-8.8.8.8.txt", "8.8.8.8", "Google LLC", "US", "8.8.8.0 - 8.8.8.255",
     "network-abuse@google.com"},
    {"whois/arin/larsonzh-2026-list-two-handles-8.8.8.0_24.txt", "", "Google LLC", "", "8.8.8.0 - 8.8.8.255", ""},
    {"whois/arin/larsonzh-2026-nomatch-r-1.1.1.0_24.txt", "", "", "", "", ""},
    {"whois/arin/larsonzh-2026-referral-afrinic-143.128.0.0.txt", "143.128.0.0", "African Network Information Center",
     "MU", "143.128.0.0 - 143.128.255.255", "abusepoc@afrinic.net"},
    {"whois/arin/larsonzh-2026-referral-apnic-1.1.1.1.txt", "1.1.1.1", "Asia Pacific Network Information Centre", "AU",
     "1.0.0.0 - 1.255.255.255", "search-apnic-not-arin@apnic.net"},
    {"whois/arin/larsonzh-2026-referral-lacnic-200.0.0.1.txt", "200.0.0.1",
     "Latin American and Caribbean IP address Regional Registry", "UY", "200.0.0.0 - 200.255.255.255",
     "abuse@lacnic.net"},
    {"whois/arin/larsonzh-2026-referral-ripe-noscheme-2.0.0.1.txt", "2.0.0.1", "RIPE Network Coordination Centre", "NL",
     "2.0.0.0 - 2.255.255.255", "abuse@ripe.net"},
    {"whois/arin/netincident-google-cloud-crcrlf-104.199.208.27.txt", "104.199.208.27", "Google LLC", "US",
     "104.196.0.0 - 104.199.255.255", "google-cloud-compliance@google.com"},
    {"whois/arin/netincident-iana-reserved-crcrlf-246.161.212.245.txt", "246.161.212.245",
     "Internet Assigned Numbers Authority", "US", "240.0.0.0 - 255.255.255.255", "abuse@iana.org"},
    {"whois/arin/netincident-list-two-handles-174.79.60.55.txt", "174.79.60.55", "Cox Communications", "",
     "174.79.32.0 - 174.79.63.255", ""},
    {"whois/arin/phpwhois-referral-rwhois-63.95.254.3.txt", "63.95.254.3", "GEORGIA PUBLIC WEB, INC.", "US",
     "63.95.254.0 - 63.95.255.255", "akeem.mcdaniel@accelecom.net"},
    {"whois/arin/phpwhois-softlayer-70.84.47.210.txt", "70.84.47.210", "SoftLayer Technologies Inc.", "US",
     "70.84.0.0 - 70.87.255.255", "abuse@softlayer.com"},
    {"whois/arin/ripego-arinops-199.43.0.44.txt", "199.43.0.44", "ARIN Operations", "US", "199.43.0.0 - 199.43.0.255",
     "abuse@arin.net"},
    {"whois/arin/wcnet-EXCERPT-erx-apnic-multicidr-192.41.192.40.txt", "192.41.192.40",
     "Asia Pacific Network Information Centre", "AU", "192.41.178.0 - 192.41.197.255", ""},
    {"whois/arin/weppos-no-referral-4.2.2.1.txt", "4.2.2.1", "Level 3 Communications, Inc.", "US",
     "4.0.0.0 - 4.255.255.255", "security@level3.com"},
    {"whois/arin/weppos-referral-apnic-144.134.121.81.txt", "144.134.121.81", "Asia Pacific Network Information Centre",
     "AU", "144.130.0.0 - 144.140.255.255", "search-apnic-not-arin@apnic.net"},
    {"whois/arin/weppos-referral-ripe-port43-130.66.76.222.txt", "130.66.76.222", "RIPE Network Coordination Centre",
     "NL", "130.66.0.0 - 130.67.255.255", "hostmaster@ripe.net"},
    {"whois/arin/weppos-referral-rwhois-servernap-69.65.39.166.txt", "69.65.39.166", "GigeNET", "US",
     "69.65.0.0 - 69.65.63.255", "abuse@gigenet.com"},
    {"whois/lacnic/larsonzh-2026-ip-client-200.0.0.1.txt", "200.0.0.1", "HOCOL S.A.", "CO", "200.0.0.0 - 200.0.7.255",
     ""},
    {"whois/lacnic/netincident-short-cidr-crcrlf-138.36.27.5.txt", "138.36.27.5", "CABLEMAX C.X.A", "DO",
     "138.36.24.0 - 138.36.27.255", "andresacosta@CABLEMAX.COM.DO"},
    {"whois/lacnic/netincident-short-cidr-crcrlf-177.228.94.39.txt", "177.228.94.39", "Mega Cable, S.A. de C.V.", "MX",
     "177.224.0.0 - 177.231.255.255", "nic_tech@MEGACABLE.COM.MX"},
    {"whois/lacnic/phpwhois-cantv-200.44.33.31.txt", "200.44.33.31", "CANTV Servicios, Venezuela", "VE",
     "200.44.0.0 - 200.44.255.255", "ipadmin@cantv.com.ve"},
    {"whois/other/ipwhois-jpnic-gateway-html-133.1.2.5.txt", "133.1.2.5", "Osaka University", "JP",
     "133.1.0.0 - 133.1.255.255", ""},
    {"whois/other/ipwhois-krnic-gateway-html-115.1.2.3.txt", "115.1.2.3", "KT", "KR", "115.1.2.0 - 115.1.2.63",
     "kornet_ip@kt.com"},
    {"whois/other/netincident-krnic-mojibake-crlf-112.220.69.50.txt", "112.220.69.50", "LG Uplus", "KR",
     "112.220.69.48 - 112.220.69.55", "b8273338@user.bora.net"},
    {"whois/other/netincident-registro-br-crlf-177.37.164.71.txt", "177.37.164.71",
     "BRISANET SERVICOS DE TELECOMUNICACOES LTDA", "BR", "177.37.128.0 - 177.37.255.255", ""},
    {"whois/other/netincident-twnic-crlf-114.45.70.76.txt", "114.45.70.76", "", "TW", "114.45.0.0 - 114.45.255.255",
     "network-adm@hinet.net"},
    {"whois/other/phpwhois-registro-br-200.165.206.74.txt", "200.165.206.74", "V tal", "BR",
     "200.165.0.0 - 200.165.255.255", "ld-numeracaoip@vtal.com"},
    {"whois/other/wcnet-EXCERPT-jpnic-192.41.192.0_24.txt", "", "Japan Network Information Center", "JP",
     "192.41.192.0 - 192.41.192.255", ""},
    {"whois/other/wcnet-EXCERPT-jpnic-nokeyletters-27.80.0.0_12.txt", "", "KDDI CORPORATION", "JP",
     "27.80.0.0 - 27.95.255.255", "abuse@dion.ne.jp"},
    {"whois/ripe/geoip-error-201-access-denied-daily-limit.txt", "", "", "", "", ""},
    {"whois/ripe/geoip-error-306-connections-exceeded.txt", "", "", "", "", ""},
    {"whois/ripe/iesgo-amazon-eu-abuse-notice-46.137.0.0_17.txt", "",
     "Amazon Web Services, Elastic Compute Cloud, EC2, EU", "IE", "46.137.0.0 - 46.137.127.255",
     "trustandsafety@support.aws.com"},
    {"whois/ripe/netincident-qualitynetwork-crlf-46.161.62.245.txt", "46.161.62.245", "QUALITYNETWORK", "RU",
     "46.161.62.128 - 46.161.62.255", "abuse@pinspb.ru"},
    {"whois/ripe/netincident-ufanet-crlf-94.41.54.105.txt", "94.41.54.105", "JSC \"Ufanet\"", "RU",
     "145.255.0.0 - 145.255.15.255", "abuse@ufanet.ru"},
    {"whois/ripe/phpwhois-colt-62.97.102.115.txt", "62.97.102.115", "Avancem amb Voste S.L.", "ES",
     "62.97.102.112 - 62.97.102.119", "abuse@colt.net"},
    {"whois/ripe/phpwhois-telecomitalia-151.99.187.181.txt", "151.99.187.181", "Telecom Italia SPA", "IT",
     "151.99.187.0 - 151.99.187.255", "abuse@business.telecomitalia.it"},
    {"whois/ripe/ripego-vargonen-178.18.196.250.txt", "178.18.196.250",
     "Vargonen Teknoloji ve Bilisim Sanayi Ticaret Anonim Sirketi", "TR", "178.18.192.0 - 178.18.207.255",
     "noc@vt.com.tr"},
    {"whois/ripe/weppos-bouygtel-128.79.0.0.txt", "", "BOUYGTEL-ISP-CABLE", "FR", "128.79.0.0 - 128.79.63.0",
     "abuse_box@bouyguestelecom.fr"},
    {"whois/rwhois/netincident-hostwinds-crlf-104.168.144.18.txt", "104.168.144.18", "Riko", "US",
     "104.168.144.18 - 104.168.144.18", "Abuse@hostwinds.com"},
    {"whois/rwhois/netincident-krypt-ubersmith-crlf-67.229.101.42.txt", "67.229.101.42", "VPLS Inc.", "US",
     "67.229.101.40 - 67.229.101.47", "abuse@vpls.net"},
    {"whois/rwhois/netincident-singlehop-184.154.139.0_26.txt", "", "Innovative Business Services (dba SiteLock)", "US",
     "184.154.139.0 - 184.154.139.63", ""},
    {"whois/rwhois/netincident-trouble-free-crlf-69.10.58.155.txt", "69.10.58.155", "VPMANAGE", "US",
     "69.10.32.0 - 69.10.32.7", ""},
    {"extract/ipwhois-bt-62.239.237.1.txt", "62.239.237.1", "BT-CORPORATE", "GB", "62.239.237.0 - 62.239.237.255",
     "protect@bt.com"},
    {"extract/ipwhois-short-cidr-crlf-200.57.141.161.txt", "200.57.141.161", "Triara.com, S.A. de C.V.", "MX",
     "200.57.128.0 - 200.57.159.255", "operacion.redes@TRIARA.COM"},
    {"extract/netincident-customer-custname-NET-174-79-32-0-1.txt", "", "Cox Communications", "US",
     "174.79.32.0 - 174.79.63.255", "abuse@cox.net"},
    // "% No abuse contact registered", yet a contact of the block takes abuse reports.
    {"whois/afrinic/graylog-telkom-no-abuse-notice-196.25.255.0_24.txt", "", "Telkom SA Limited", "ZA",
     "196.25.255.0 - 196.25.255.255", "abuse@saix.net"},
    {"whois/apnic/graylog-singnet-irt-42.61.114.128_27.txt", "", "SIMPLE SOLUTION SYSTEMS PTE LTD", "SG",
     "42.61.114.128 - 42.61.114.159", "abuse@singnet.com.sg"},
    // The registry's notice names the irt's mailbox; the irt itself asks for the network's contacts.
    {"whois/apnic/scanner-aliyun-cnnic-irt-120.76.78.234.txt", "120.76.78.234", "Aliyun Computing Co., LTD", "CN",
     "120.76.0.0 - 120.79.255.255", "ipas@cnnic.cn"},
    // JPNIC's allocation and the more specific block mirrored from JPNIC; abuse only in a remark.
    {"whois/apnic/webtracker-jpnic-mirror-softbank-220.212.128.1.txt", "220.212.128.1", "SoftBank Telecom Corp.", "JP",
     "220.212.0.0 - 220.212.255.255", "net-abuse@odn.ad.jp"},
    // The first descr line describes the network, the second names the company.
    {"whois/apnic/webtracker-unicom-irt-221.212.10.0.txt", "221.212.10.0", "China Unicom", "CN",
     "221.208.0.0 - 221.212.255.255", "zhouxm@chinaunicom.cn"},
    {"whois/arin/graylog-att-rabuse-99.42.44.219.txt", "99.42.44.219", "AT&T Internet Services", "US",
     "99.0.0.0 - 99.127.255.255", "abuse@att.net"},
    {"whois/arin/graylog-referral-ripe-erx-two-cidrs-138.201.14.212.txt", "138.201.14.212",
     "RIPE Network Coordination Centre", "NL", "138.198.0.0 - 138.201.255.255", "abuse@ripe.net"},
    {"whois/arin/lab5-akamai-cidrs-out-of-order-23.35.97.7.txt", "23.35.97.7", "Akamai Technologies, Inc.", "US",
     "23.32.0.0 - 23.67.255.255", "abuse@akamai.com"},
    // The parent allocation and its reallocation, each between "# start" and "# end".
    {"whois/arin/lab5-amazon-reallocated-start-end-13.33.66.112.txt", "13.33.66.112", "Amazon.com, Inc.", "US",
     "13.32.0.0 - 13.33.255.255", "abuse@amazonaws.com"},
    // The reallocation the parent's first reading got wrong (Amazon, US); a certificate in a comment.
    {"whois/arin/lab5-amazon-a100-reallocated-de-3.120.95.169.txt", "3.120.95.169", "A100 ROW GmbH", "DE",
     "3.120.0.0 - 3.123.255.255", "abuse@amazonaws.com"},
    // List answers: "name netname (handle) range", the parent first or last.
    {"whois/arin/webtracker-list-att-12.100.128.1.txt", "12.100.128.1", "AT&T Worldnet Services", "",
     "12.100.128.0 - 12.100.131.255", ""},
    {"whois/arin/webtracker-list-rogers-99.212.128.1.txt", "99.212.128.1", "Rogers Cable Inc. KTGC", "",
     "99.212.128.0 - 99.212.129.255", ""},
    {"whois/arin/webtracker-list-child-first-pitt-150.212.128.1.txt", "150.212.128.1", "University of Pittsburgh", "",
     "150.212.0.0 - 150.212.255.255", ""},
    {"whois/arin/lab5-cloudflare-rabuse-104.27.35.249.txt", "104.27.35.249", "Cloudflare, Inc.", "US",
     "104.16.0.0 - 104.31.255.255", "abuse@cloudflare.com"},
    {"whois/arin/webtracker-roadrunner-referral-rwhois-98.122.128.1.txt", "98.122.128.1",
     "Time Warner Cable Internet LLC", "US", "98.120.0.0 - 98.123.255.255", "abuse@rr.com"},
    // The network's comment names one address, the organisation's abuse contact ("ONLY") another.
    {"whois/arin/webtracker-sprint-comment-abuse-99.202.128.1.txt", "99.202.128.1", "Sprint Nextel Corporation", "US",
     "99.200.0.0 - 99.207.255.255", "mobileabuse@sprint.com"},
    // abuse-c names a contact printed below the block.
    {"whois/lacnic/graylog-vtr-abuse-c-short-190.46_15.txt", "", "VTR BANDA ANCHA S.A.", "CL",
     "190.46.0.0 - 190.47.255.255", "contactovtr@VTR.NET"},
    // No organisation: the descr line names the holder, the role only the contact.
    {"whois/ripe/graylog-facebook-descr-us-31.13.74.0_24.txt", "", "Facebook", "US", "31.13.74.0 - 31.13.74.255",
     "domain@fb.com"},
    {"whois/ripe/graylog-heg-org-abuse-notice-62.138.64.0_18.txt", "", "HEG Managed", "DE",
     "62.138.64.0 - 62.138.127.255", "abuse@plusserver.de"},
    {"whois/ripe/lab5-akamai-eu-role-only-2.18.111.79.txt", "2.18.111.79", "Akamai Technologies", "EU",
     "2.18.96.0 - 2.18.111.255", "abuse@akamai.com"},
    {"whois/ripe/webtracker-kunet-no-abuse-org-91.202.128.2.txt", "91.202.128.2",
     "Kyiv National Taras Shevchenko University", "UA", "91.202.128.0 - 91.202.131.255", ""},
    // Two networks, the country only in the organisation objects, no abuse contact.
    {"whois/rwhois/webtracker-roadrunner-two-networks-98.122.128.1.txt", "98.122.128.1", "Road Runner", "US",
     "98.122.128.0 - 98.122.159.255", ""},
};

} // namespace

TEST(WhoisFacts, RealAnswersNameHolderCountryRangeAndAbuse)
{
    for (const CRealAnswer& a : kRealAnswers) {
        SCOPED_TRACE(a.file);
        const std::string text = ReadFileBytes(TestDataPath(a.file));
        ASSERT_FALSE(text.empty());
        const CWhoisFacts facts = ReadWhoisFacts(text, Address(a.address));
        EXPECT_EQ(facts.m_strHolder, a.holder);
        EXPECT_EQ(facts.m_strCountry, a.country);
        EXPECT_EQ(facts.RangeText(), a.range);
        EXPECT_EQ(facts.m_strAbuse, a.abuse);
    }
}

TEST(WhoisFacts, RegistryStubNetNameAndOriginAS)
{
    struct {
        const char* file;
        const char* registry;
        bool stub;
        const char* netName;
        const char* originAS;
    } const cases[] = {
        {"whois/arin/weppos-referral-ripe-port43-130.66.76.222.txt", "ARIN", true, "RIPE-ERX-130-66-0-0", ""},
        {"whois/arin/larsonzh-2026-referral-afrinic-143.128.0.0.txt", "ARIN", true, "AFRINIC-143-128-0-0", ""},
        {"whois/arin/larsonzh-2026-referral-lacnic-200.0.0.1.txt", "ARIN", true, "LACNIC-200", ""},
        {"whois/arin/weppos-referral-apnic-144.134.121.81.txt", "ARIN", true, "APNIC-ERX-144-130-0-0", ""},
        {"whois/arin/netincident-iana-reserved-crcrlf-246.161.212.245.txt", "ARIN", false,
         "SPECIAL-IPV4-FUTURE-USE-IANA-RESERVED", ""},
        {"whois/arin/phpwhois-softlayer-70.84.47.210.txt", "ARIN", false, "NETBLK-THEPLANET-BLK-13",
         "AS36420, AS30315, AS13749, AS21844"},
        {"whois/ripe/phpwhois-colt-62.97.102.115.txt", "RIPE", false, "NET-ES-AVANCEM-AMB-VOSTE-SL", "AS8220"},
        {"whois/apnic/larsonzh-2026-apnic-labs-1.1.1.1.txt", "APNIC", false, "APNIC-LABS", "AS13335"},
        {"whois/apnic/netincident-idnic-duplicate-crlf-103.18.33.107.txt", "APNIC", false, "MLD-ID", ""},
        {"whois/afrinic/phpwhois-sentech-66.18.70.6.txt", "AFRINIC", false, "SENTECH-ISP9-ZA", "AS22572"},
        {"whois/lacnic/phpwhois-cantv-200.44.33.31.txt", "LACNIC", false, "", "AS8048"},
        {"extract/ipwhois-short-cidr-crlf-200.57.141.161.txt", "LACNIC", false, "", ""}, // aut-num: N/A
        {"whois/other/phpwhois-registro-br-200.165.206.74.txt", "NIC.br", false, "", "AS7738"},
        {"whois/other/wcnet-EXCERPT-jpnic-192.41.192.0_24.txt", "JPNIC", false, "JPNICNET", ""},
        {"whois/other/netincident-krnic-mojibake-crlf-112.220.69.50.txt", "KRNIC", false, "", ""},
        {"whois/other/netincident-twnic-crlf-114.45.70.76.txt", "TWNIC", false, "HINET-NET", ""},
        {"whois/rwhois/netincident-krypt-ubersmith-crlf-67.229.101.42.txt", "rwhois:vault.krypt.com", false,
         "Standard Network Master IP Assignment", ""},
        {"whois/ripe/geoip-error-201-access-denied-daily-limit.txt", "", false, "", ""},
        {"whois/arin/graylog-referral-ripe-erx-two-cidrs-138.201.14.212.txt", "ARIN", true, "RIPE-ERX-138-198-0-0", ""},
        {"whois/arin/lab5-amazon-reallocated-start-end-13.33.66.112.txt", "ARIN", false, "AMAZO-CF", "AS16509"},
        {"whois/arin/webtracker-roadrunner-referral-rwhois-98.122.128.1.txt", "ARIN", false, "RRMA", ""},
        {"whois/rwhois/webtracker-roadrunner-two-networks-98.122.128.1.txt", "rwhois:ipmt.rr.com", false, "", ""},
        {"whois/lacnic/graylog-vtr-abuse-c-short-190.46_15.txt", "LACNIC", false, "", ""},
        {"whois/afrinic/graylog-telkom-no-abuse-notice-196.25.255.0_24.txt", "AFRINIC", false, "IPNET-CHE-1", ""},
        {"whois/apnic/webtracker-jpnic-mirror-softbank-220.212.128.1.txt", "APNIC", false, "ULTINA-CIDR-BLK-JP", ""},
        {"whois/ripe/graylog-heg-org-abuse-notice-62.138.64.0_18.txt", "RIPE", false, "DE-HEG-MANAGED", "AS61157"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const CWhoisFacts facts = ReadWhoisFacts(ReadFileBytes(TestDataPath(c.file)));
        EXPECT_EQ(facts.m_strRegistry, c.registry);
        EXPECT_EQ(facts.m_bIsRegistryStub, c.stub);
        EXPECT_EQ(facts.m_strNetName, c.netName);
        EXPECT_EQ(facts.m_strOriginAS, c.originAS);
    }
}

namespace {

// A reallocated ARIN network under its parent, printed in either order.
std::string ArinNet(const char* range, const char* cidr, const char* name, const char* org, const char* orgName,
                    const char* country, const char* abuse)
{
    return std::string("NetRange:       ") + range + "\nCIDR:           " + cidr + "\nNetName:        " + name +
           "\nNetType:        Reallocated\nOrganization:   " + org + "\n\nOrgName:        " + orgName +
           "\nCountry:        " + country + "\n\nOrgAbuseHandle: X-ARIN\nOrgAbuseEmail:  " + abuse + "\n\n";
}

const std::string kParent =
    ArinNet("3.0.0.0 - 3.127.255.255", "3.0.0.0/9", "AT-88-Z", "Amazon Technologies Inc. (AT-88-Z)",
            "Amazon Technologies Inc.", "US", "abuse@amazonaws.com");
const std::string kChild = ArinNet("3.120.0.0 - 3.127.255.255", "3.124.0.0/14, 3.120.0.0/14", "AMAZO-ZFRA",
                                   "A100 ROW GmbH (AR-488)", "A100 ROW GmbH", "DE", "");

} // namespace

TEST(WhoisFacts, ArinReallocationNamesTheMostSpecificNetworkInEitherOrder)
{
    for (const std::string& text : {kParent + kChild, kChild + kParent, "3.121.1.1\r\n\r\n" + kParent + kChild}) {
        const CWhoisFacts facts = ReadWhoisFacts(text, text[0] == '3' ? std::nullopt : Address("3.121.1.1"));
        EXPECT_EQ(facts.m_strHolder, "A100 ROW GmbH");
        EXPECT_EQ(facts.m_strCountry, "DE");
        EXPECT_EQ(facts.RangeText(), "3.120.0.0 - 3.127.255.255");
        EXPECT_EQ(facts.m_strNetName, "AMAZO-ZFRA");
        // The reallocation names no abuse contact: its parent's is the one to write to.
        EXPECT_EQ(facts.m_strAbuse, "abuse@amazonaws.com");
        EXPECT_EQ(facts.m_strRegistry, "ARIN");
    }
    // An address outside the child: the parent covers it.
    const CWhoisFacts parent = ReadWhoisFacts(kChild + kParent, Address("3.5.6.7"));
    EXPECT_EQ(parent.m_strHolder, "Amazon Technologies Inc.");
    EXPECT_EQ(parent.m_strCountry, "US");
}

TEST(WhoisFacts, ArinCustomerAndOldLayoutWithOrganisationFirst)
{
    const std::string customer = "NetRange:       174.79.32.0 - 174.79.63.255\nNetName: X\nCustomer: Cox (C0)\n\n"
                                 "CustName:       Cox Communications\nCountry:        us\n\n";
    EXPECT_EQ(ReadWhoisFacts(customer).m_strHolder, "Cox Communications");
    EXPECT_EQ(ReadWhoisFacts(customer).m_strCountry, "US");
    const std::string oldLayout = "OrgName:    Example Org\nOrgID:      EX\nCountry:    CA\n\n"
                                  "NetRange:   192.0.2.0 - 192.0.2.255\nNetName:    EX-NET\n";
    const CWhoisFacts facts = ReadWhoisFacts(oldLayout);
    EXPECT_EQ(facts.m_strHolder, "Example Org");
    EXPECT_EQ(facts.m_strCountry, "CA");
    EXPECT_EQ(facts.RangeText(), "192.0.2.0 - 192.0.2.255");
}

TEST(WhoisFacts, RangeForms)
{
    struct {
        const char* text;
        const char* range;
    } const cases[] = {
        {"inetnum: 190.46/15\nowner: X\n", "190.46.0.0 - 190.47.255.255"},
        {"inetnum: 200.57.128/19\nowner: X\n", "200.57.128.0 - 200.57.159.255"},
        {"inetnum: 10.0.0.0 - 10.0.0.255\nnetname: X\n", "10.0.0.0 - 10.0.0.255"},
        {"inetnum: 10.0.0.9 - 10.0.0.1\nnetname: X\n", ""}, // start above end
        {"inetnum: 10.0.0.256 - 10.0.1.0\nnetname: X\n", ""}, // no such address
        {"inetnum: 10.0.0.0/33\nnetname: X\n", ""}, // no such prefix
        {"NetRange: \nCIDR: 10.0.2.0/24, 10.0.0.0/23\n", "10.0.0.0 - 10.0.2.255"}, // list out of order
        {"network:IP-Network:192.0.2.64/26\nnetwork:Org-Name:X\n", "192.0.2.64 - 192.0.2.127"},
        {"%rwhois V-1.5 h (x)\nIP-Network: 192.0.2.64/26\nOrg-Name: X\n",
         "192.0.2.64 - 192.0.2.127"}, // no class prefix
        {"a. [Network Number]   192.0.2.0/25\ng. [Organization] X\nNetwork Information:\n", "192.0.2.0 - 192.0.2.127"},
        {"[ Network Information ]\nIPv4 Address       : 192.0.2.0 - 192.0.2.63 (/26)\n", "192.0.2.0 - 192.0.2.63"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ReadWhoisFacts(c.text).RangeText(), c.range);
    }
}

TEST(WhoisFacts, RipeHolderPrefersOrganisationThenNameLikeDescrNeverAContact)
{
    const std::string org = "inetnum: 192.0.2.0 - 192.0.2.255\ndescr: Pool for Broadband CABLE customers\n"
                            "org: ORG-EX1-RIPE\nabuse-c: AR1-RIPE\nsource: RIPE\n\n"
                            "organisation: ORG-EX1-RIPE\norg-name: Example Kabel GmbH\ncountry: DE\n\n"
                            "role: Abuse Role\nnic-hdl: AR1-RIPE\nabuse-mailbox: abuse@kabel.example.net\n";
    CWhoisFacts facts = ReadWhoisFacts(org);
    EXPECT_EQ(facts.m_strHolder, "Example Kabel GmbH");
    EXPECT_EQ(facts.m_strCountry, "DE"); // the organisation's, the network names none
    EXPECT_EQ(facts.m_strAbuse, "abuse@kabel.example.net");
    EXPECT_EQ(facts.m_strRegistry, "RIPE");

    const std::string descr = "inetnum: 192.0.2.0 - 192.0.2.255\ndescr: Pool for Broadband CABLE customers\n"
                              "descr: Example Kabel GmbH\ncountry: EU # Country is really world wide\n"
                              "admin-c: P1\n\nperson: Some Person\nnic-hdl: P1\ncountry: ZZ\n";
    facts = ReadWhoisFacts(descr);
    EXPECT_EQ(facts.m_strHolder, "Example Kabel GmbH");
    EXPECT_EQ(facts.m_strCountry, "EU");

    const std::string contact = "inetnum: 192.0.2.0 - 192.0.2.255\ndescr: dynamic pool\ncountry: ZZ\n"
                                "admin-c: P1\n\nperson: Some Person\nnic-hdl: P1\ncountry: NL\n";
    facts = ReadWhoisFacts(contact);
    EXPECT_EQ(facts.m_strHolder, ""); // a person is a contact, never the holder
    EXPECT_EQ(facts.m_strCountry, ""); // never a contact's, never ZZ
}

// Which descr lines name the holder, and which describe the block or say where it is.
TEST(WhoisFacts, DescrLinesThatNameTheHolder)
{
    const struct {
        const char* line;
        bool name;
    } cases[] = {
        {"Japan Network Information Center", true},
        {"Kyiv National Taras Shevchenko University", true},
        {"Regional Network Information Center", true},
        {"Zurich, Switzerland", false},
        {"Korea, Republic of", false},
        {"GERMANY", false},
        {"Pool for Broadband CABLE customers", false},
        {"China Unicom Tianjin province network", false},
        {"RU NCC Network", false},
        {"UDC", false},
        {"  ", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(ReadsAsHolderName(c.line), c.name);
    }
    // A location line before the name is passed over.
    const CWhoisFacts facts = ReadWhoisFacts("inetnum: 192.0.2.0 - 192.0.2.255\ndescr: Zurich, Switzerland\n"
                                             "descr: Example Hochschule\ncountry: CH\n");
    EXPECT_EQ(facts.m_strHolder, "Example Hochschule");
}

TEST(WhoisFacts, ContactsThatTakeAbuseReports)
{
    // No abuse-mailbox anywhere: the contact named for abuse or spam reports is the one to write to.
    const std::string helpdesk = "inetnum: 220.224.128.0 - 220.224.191.255\nnetname: RCOM\ncountry: IN\ndescr: RCOM\n"
                                 "admin-c: AH406-AP\nsource: APNIC\n\nrole: Antiabuse Helpdesk\n"
                                 "e-mail: antiabuse.support@example-isp.in\nnic-hdl: AH406-AP\n";
    EXPECT_EQ(ReadWhoisFacts(helpdesk).m_strAbuse, "antiabuse.support@example-isp.in");
    const std::string remark = "inetnum: 222.208.0.0 - 222.215.255.255\ndescr: CHINANET Sichuan province network\n"
                               "descr: China Telecom\ncountry: CN\nadmin-c: CH93-AP\ntech-c: CS408-AP\n\n"
                               "person: Chinanet Hostmaster\nnic-hdl: CH93-AP\ne-mail: hostmaster@example.cn.net\n\n"
                               "role: CHINANET SICHUAN\ne-mail: ipadmin@example-sc.cn\n"
                               "remarks: send abuse reports to ipadmin@example-sc.cn\nnic-hdl: CS408-AP\n";
    const CWhoisFacts facts = ReadWhoisFacts(remark);
    EXPECT_EQ(facts.m_strAbuse, "ipadmin@example-sc.cn");
    EXPECT_EQ(facts.m_strHolder, "China Telecom");
    // A contact that says nothing about abuse is not an abuse address.
    EXPECT_EQ(ReadWhoisFacts("inetnum: 192.0.2.0 - 192.0.2.255\nadmin-c: P1\n\nperson: P\nnic-hdl: P1\n"
                             "e-mail: p@example-isp.net\n")
                  .m_strAbuse,
              "");
}

TEST(WhoisFacts, AbuseContactPlaceholdersAreIgnored)
{
    for (const char* mail : {"nobody@example.com", "x@example.net", "abuse@localhost", "@nowhere.net", "abuse@"}) {
        SCOPED_TRACE(mail);
        const std::string text =
            std::string("inetnum: 192.0.2.0 - 192.0.2.255\nnetname: N\nabuse-mailbox: ") + mail + "\n";
        EXPECT_EQ(ReadWhoisFacts(text).m_strAbuse, "");
    }
    EXPECT_EQ(ReadWhoisFacts("% Abuse contact for '192.0.2.0 - 192.0.2.255' is 'abuse@isp.example.org'\n\n"
                             "inetnum: 192.0.2.0 - 192.0.2.255\n")
                  .m_strAbuse,
              "abuse@isp.example.org");
}

TEST(WhoisFacts, FirstLineAddressChoosesTheBlock)
{
    const std::string answer = "inetnum: 10.0.0.0 - 10.255.255.255\nnetname: BIG\n\n"
                               "inetnum: 10.1.0.0 - 10.1.0.255\nnetname: SMALL\n";
    EXPECT_EQ(ReadWhoisFacts("10.1.0.9\r\n\r\n" + answer).m_strNetName, "SMALL");
    EXPECT_EQ(ReadWhoisFacts("10.2.0.9\r\n\r\n" + answer).m_strNetName, "BIG");
    EXPECT_EQ(ReadWhoisFacts("10.2.0.9 [host.example]\r\n\r\n" + answer).m_strNetName, "BIG");
    EXPECT_EQ(ReadWhoisFacts(answer).m_strNetName, "SMALL"); // no address: the smallest block
    EXPECT_EQ(ReadWhoisFacts("10.2.0.9\r\n\r\n" + answer, Address("10.1.0.1")).m_strNetName, "SMALL");
}

TEST(WhoisFacts, LineEndsDoNotChangeTheFacts)
{
    const std::string lf = ReadFileBytes(TestDataPath("whois/ripe/phpwhois-colt-62.97.102.115.txt"));
    std::string crlf, crcrlf, cr;
    for (char c : lf) {
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
        crcrlf += c == '\n' ? std::string("\r\r\n") : std::string(1, c);
        cr += c == '\n' ? '\r' : c;
    }
    const CWhoisFacts expected = ReadWhoisFacts(lf);
    EXPECT_EQ(expected.m_strHolder, "Avancem amb Voste S.L.");
    EXPECT_EQ(ReadWhoisFacts(crlf), expected);
    EXPECT_EQ(ReadWhoisFacts(crcrlf), expected);
    EXPECT_EQ(ReadWhoisFacts(cr), expected);
}

TEST(WhoisFacts, BadInputGivesEmptyOrPartialFactsNeverGuesses)
{
    const std::string colt = ReadFileBytes(TestDataPath("whois/ripe/phpwhois-colt-62.97.102.115.txt"));
    const size_t nCut = colt.find("country:");
    ASSERT_NE(nCut, std::string::npos);
    // Cut in the middle of the network object: what was read stays, nothing is taken from elsewhere.
    const CWhoisFacts cut = ReadWhoisFacts(colt.substr(0, nCut + 5));
    EXPECT_EQ(cut.RangeText(), "62.97.102.112 - 62.97.102.119");
    EXPECT_EQ(cut.m_strCountry, "");

    // Objects without a range.
    EXPECT_FALSE(ReadWhoisFacts("inetnum: somewhere\nnetname: X\n").m_bHasRange);
    EXPECT_FALSE(ReadWhoisFacts("NetName: X\nOrgName: Y\n").m_bHasRange);
    // Only comments, a query-limit answer, nothing at all.
    for (const char* text : {"% just a comment\n%\n# another\n", "Your query limit has been exceeded\r\n", "",
                             "\r\n\r\n", "NetRange:", ":::\n:\n"}) {
        SCOPED_TRACE(text);
        const CWhoisFacts facts = ReadWhoisFacts(text);
        EXPECT_EQ(facts.m_strHolder, "");
        EXPECT_FALSE(facts.m_bHasRange);
        EXPECT_EQ(facts.m_strAbuse, "");
    }

    // NUL bytes and invalid UTF-8 are data like any other.
    std::string nul = "inetnum: 192.0.2.0 - 192.0.2.255\norg-name: A\n";
    nul[3] = '\0';
    EXPECT_NO_THROW(ReadWhoisFacts(nul));
    const std::string latin1 = "inetnum: 192.0.2.0 - 192.0.2.255\ndescr: Soci\xe9t\xe9 \xff\xfe\ncountry: FR\n";
    const CWhoisFacts bytes = ReadWhoisFacts(latin1);
    EXPECT_EQ(bytes.m_strHolder, "Soci\xe9t\xe9 \xff\xfe");
    EXPECT_EQ(bytes.m_strCountry, "FR");
}

TEST(WhoisFacts, CidrListOfFiftyPrefixes)
{
    std::string list;
    for (int i = 49; i >= 0; --i)
        list += (i == 49 ? "" : ", ") + FormatDottedQuad(0x0A000000u + uint32_t(i) * 256) + "/24";
    const CWhoisFacts facts = ReadWhoisFacts("CIDR: " + list + "\nNetName: MANY\nOrgName: Many Prefixes Inc.\n");
    EXPECT_EQ(facts.RangeText(), "10.0.0.0 - 10.0.49.255");
    EXPECT_EQ(facts.m_strHolder, "Many Prefixes Inc.");
}

TEST(WhoisFacts, TenMegabyteHostileAnswersStillGiveTheirRange)
{
    // Reading time against size is measured by bench_facts --hostile; here the reading must finish and be right.
    const std::string colt = ReadFileBytes(TestDataPath("whois/ripe/phpwhois-colt-62.97.102.115.txt"));
    for (const auto& [name, text] : HostileWhoisAnswers(10u << 20, colt)) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(ReadWhoisFacts(text).m_bHasRange);
    }
}

TEST(WhoisFacts, CacheReadsEachTextOnceAndForgetsChangedTexts)
{
    CIPDataArray data;
    const std::string colt = ReadFileBytes(TestDataPath("whois/ripe/phpwhois-colt-62.97.102.115.txt"));
    data.SetWhoisResult("62.97.102.115", "62.97.102.115\r\n\r\n" + colt, COleDateTime());
    data.FindOrAdd("192.0.2.1"); // no whois text
    const CIPAddressData* pColt = data.GetAt(0);
    const CIPAddressData* pEmpty = data.GetAt(1);

    const CWhoisFacts* pFirst = &GetWhoisFacts(data, *pColt);
    EXPECT_EQ(pFirst->m_strHolder, "Avancem amb Voste S.L.");
    EXPECT_EQ(&GetWhoisFacts(data, *pColt), pFirst); // the same entry, not read again
    EXPECT_EQ(GetWhoisFacts(data, *pEmpty).m_strHolder, "");

    data.SetWhoisResult("62.97.102.115", "62.97.102.115\r\n\r\nNetRange: 62.0.0.0 - 62.255.255.255\nOrgName: Other\n",
                        COleDateTime());
    EXPECT_EQ(GetWhoisFacts(data, *pColt).m_strHolder, "Other");

    CWhoisFactsCache cache;
    CIPAddressData rec("62.97.102.115");
    EXPECT_EQ(cache.Get(rec), CWhoisFacts());
    EXPECT_EQ(cache.GetCount(), 0u); // a record without whois text takes no entry
    rec.SetRawWhois(colt);
    EXPECT_EQ(cache.Get(rec).m_strCountry, "ES");
    rec.SetRawWhois("inetnum: 192.0.2.0 - 192.0.2.255\ncountry: NL\n");
    EXPECT_EQ(cache.Get(rec).m_strCountry, "NL"); // a new text buffer is noticed without Forget
    EXPECT_EQ(cache.GetCount(), 1u);
}

TEST(WhoisFacts, NationalAndRwhoisLayoutsWithSeveralBlocks)
{
    // TWNIC: the holder's names in Chinese (here Big5 bytes) and English, then its address and country.
    const std::string twnic = "\r\n   Netname: HINET-NET\r\n   Netblock: 114.24.0.0/14\r\n\r\n"
                              "   \xa4\xa4\xb5\xd8\xb9q\xabH\r\n   Chunghwa Telecom Co.,Ltd.\r\n"
                              "   Data-Bldg.6F, No.21, Sec.21, Hsin-Yi Rd.\r\n   Taipei Taiwan\r\n   TW\r\n\r\n"
                              "   Administrator contact:\r\n      network-adm@hinet.net\r\n";
    CWhoisFacts facts = ReadWhoisFacts(twnic);
    EXPECT_EQ(facts.m_strHolder, "Chunghwa Telecom Co.,Ltd.");
    EXPECT_EQ(facts.m_strCountry, "TW");
    EXPECT_EQ(facts.RangeText(), "114.24.0.0 - 114.27.255.255");
    EXPECT_EQ(facts.m_strAbuse, "network-adm@hinet.net");

    // rwhois with the provider's block and the customer's inside it.
    const std::string rwhois = "%rwhois V-1.5:003fff:00 rwhois.example.net (by Network Solutions, Inc. V-1.5.9.5)\n"
                               "network:Class-Name:network\nnetwork:ID:NET-1\nnetwork:IP-Network:192.0.2.0/24\n"
                               "network:Org-Name:Provider Inc.\nnetwork:Country-Code:US\n"
                               "network:Abuse-Email:abuse@provider.example.org\n\n"
                               "network:Class-Name:network\nnetwork:ID:NET-2\nnetwork:IP-Network:192.0.2.64/27\n"
                               "network:Org-Name:Customer GmbH\nnetwork:Country-Code:DE\n%ok\n";
    facts = ReadWhoisFacts(rwhois, Address("192.0.2.70"));
    EXPECT_EQ(facts.m_strHolder, "Customer GmbH");
    EXPECT_EQ(facts.m_strCountry, "DE");
    EXPECT_EQ(facts.m_strAbuse, "abuse@provider.example.org"); // the provider's, the customer names none
    EXPECT_EQ(facts.m_strRegistry, "rwhois:rwhois.example.net");
    facts = ReadWhoisFacts(rwhois, Address("192.0.2.1"));
    EXPECT_EQ(facts.m_strHolder, "Provider Inc.");

    // Organisation records repeat the network's ID and give its country; "Updated" values hold colons.
    const std::string orgRecords = "%rwhois V-1.5:0020b0:00 ipmt.example.net (by Example V-1.0)\n"
                                   "network:Class-Name:network\nnetwork:ID:NETBLK-A\nnetwork:Org-Name:Road Example\n"
                                   "network:Updated:2014-07-02 10:43:48\nnetwork:IP-Network-Range:198.51.100.0 - "
                                   "198.51.100.255\n\norganization:Class-Name:organization\n"
                                   "organization:ID:NETBLK-A\norganization:Org-Name:Ignored Here\n"
                                   "organization:Country-Code:CA\n%ok\n";
    facts = ReadWhoisFacts(orgRecords);
    EXPECT_EQ(facts.m_strHolder, "Road Example");
    EXPECT_EQ(facts.m_strCountry, "CA");
    EXPECT_EQ(facts.RangeText(), "198.51.100.0 - 198.51.100.255");
}

TEST(WhoisFacts, CacheSlotsAreReusedOnlyByTheirOwners)
{
    CWhoisFactsCache cache;
    CIPAddressData a("192.0.2.1");
    CIPAddressData b("198.51.100.1");
    a.SetRawWhois("inetnum: 192.0.2.0 - 192.0.2.255\ncountry: NL\n");
    b.SetRawWhois("inetnum: 198.51.100.0 - 198.51.100.255\ncountry: DE\n");
    const CWhoisFacts& factsA = cache.Get(a);
    EXPECT_EQ(cache.Get(b).m_strCountry, "DE");
    // Entries stay put while others are added: a sort holds on to them.
    EXPECT_EQ(&cache.Get(a), &factsA);
    EXPECT_EQ(cache.GetCount(), 2u);

    // A forgotten slot goes to the next record; the one that had it reads its own again.
    cache.Forget(&a);
    EXPECT_EQ(cache.GetCount(), 1u);
    CIPAddressData c("203.0.113.1");
    c.SetRawWhois("inetnum: 203.0.113.0 - 203.0.113.255\ncountry: FR\n");
    EXPECT_EQ(cache.Get(c).m_strCountry, "FR");
    EXPECT_EQ(cache.Get(a).m_strCountry, "NL");
    EXPECT_EQ(cache.Get(c).m_strCountry, "FR");
    cache.Forget(&b);
    cache.Forget(&b); // twice changes nothing
    EXPECT_EQ(cache.GetCount(), 2u);

    // After Clear the slots the records noted name nothing; a text emptied takes its entry away.
    cache.Clear();
    EXPECT_EQ(cache.GetCount(), 0u);
    EXPECT_EQ(cache.Get(b).m_strCountry, "DE");
    EXPECT_EQ(cache.Get(c).m_strCountry, "FR");
    EXPECT_EQ(cache.Get(a).m_strCountry, "NL");
    a.SetRawWhois("");
    EXPECT_EQ(cache.Get(a), CWhoisFacts());
    EXPECT_EQ(cache.GetCount(), 2u);
}

// A person or role object is a contact, never the holder: the organisation, then a
// descr that names a company (its legal form names it even beside a word that
// describes the network), then the network's name.
TEST(WhoisFacts, HolderIsNeverAPersonOrRole)
{
    const std::string person = "\n\nperson: John Smith\nnic-hdl: JS1-RIPE\naddress: Somewhere\n\n"
                               "role: Example NOC\nnic-hdl: NOC1-RIPE\nabuse-mailbox: abuse@isp.example.net\n";
    const struct {
        std::string text;
        const char* holder;
    } cases[] = {
        {"inetnum: 192.0.2.0 - 192.0.2.255\nnetname: EXAMPLE-NET\ndescr: Example Broadband GmbH\n"
         "admin-c: JS1-RIPE\ntech-c: NOC1-RIPE\nsource: RIPE" +
             person,
         "Example Broadband GmbH"},
        {"inetnum: 192.0.2.0 - 192.0.2.255\nnetname: EXAMPLE-NET\ndescr: Hosting range of Example Ltd.\n"
         "admin-c: JS1-RIPE\nsource: RIPE" +
             person,
         "Hosting range of Example Ltd."},
        {"inetnum: 192.0.2.0 - 192.0.2.255\nnetname: EXAMPLE-NET\ndescr: JSC \"Example\" broadband block\n"
         "tech-c: NOC1-RIPE\nsource: RIPE" +
             person,
         "JSC \"Example\" broadband block"},
        // Only describing descr lines and contacts: the network's name.
        {"inetnum: 192.0.2.0 - 192.0.2.255\nnetname: EXAMPLE-DSL\ndescr: Pool for Broadband customers\n"
         "admin-c: JS1-RIPE\ntech-c: NOC1-RIPE\nsource: RIPE" +
             person,
         "EXAMPLE-DSL"},
        // The organisation outranks a descr with a legal form.
        {"inetnum: 192.0.2.0 - 192.0.2.255\nnetname: EXAMPLE-NET\ndescr: Reseller Oy\norg: ORG-EX1-RIPE\n"
         "admin-c: JS1-RIPE\nsource: RIPE\n\norganisation: ORG-EX1-RIPE\norg-name: Example AB\n" +
             person,
         "Example AB"},
        // A word that merely holds a legal form's letters is no legal form.
        {"inetnum: 192.0.2.0 - 192.0.2.255\nnetname: EXAMPLE-NET\ndescr: Incoming broadband abuse\n"
         "admin-c: JS1-RIPE\nsource: RIPE" +
             person,
         "EXAMPLE-NET"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ReadWhoisFacts(c.text).m_strHolder, c.holder);
    }

    // Real answers whose only name-like objects are a role or a person.
    const struct {
        const char* file;
        const char* holder;
    } real[] = {
        {"whois/ripe/weppos-bouygtel-128.79.0.0.txt", "BOUYGTEL-ISP-CABLE"},
        {"extract/ipwhois-bt-62.239.237.1.txt", "BT-CORPORATE"},
        {"whois/ripe/lab5-akamai-eu-role-only-2.18.111.79.txt", "Akamai Technologies"},
    };
    for (const auto& r : real) {
        SCOPED_TRACE(r.file);
        EXPECT_EQ(ReadWhoisFacts(ReadFileBytes(TestDataPath(r.file))).m_strHolder, r.holder);
    }
}

// A real ARIN referral paired with RIPE's answer for another block: the facts say
// that the range does not hold the address; a matching pair holds it.
TEST(WhoisFacts, ARangeThatDoesNotHoldTheAddressIsNamedSo)
{
    const struct {
        std::string text;
        const char* address;
        bool covers;
        bool misses;
    } cases[] = {
        {ReadFileBytes(TestDataPath("whois/ripe/weppos-bouygtel-128.79.0.0.txt")), "130.66.76.222", false, true},
        {ReadFileBytes(TestDataPath("whois/ripe/weppos-bouygtel-128.79.0.0.txt")), "128.79.0.1", true, false},
        {ReadFileBytes(TestDataPath("whois/ripe/lab5-akamai-eu-role-only-2.18.111.79.txt")), "2.18.111.79", true,
         false},
        {ReadFileBytes(TestDataPath("whois/arin/larsonzh-2026-referral-ripe-noscheme-2.0.0.1.txt")), "2.18.111.79",
         true, false},
        {"NetRange: 12.0.0.0 - 12.255.255.255\nOrgName: X\n", "11.0.0.1", false, true},
        {"OrgName: X\n", "11.0.0.1", false, false}, // no range: nothing to say
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.address);
        const uint32_t dw = ParseDottedQuad(c.address);
        const CWhoisFacts facts = ReadWhoisFacts(c.text, dw);
        EXPECT_EQ(CoversAddress(facts, dw), c.covers);
        EXPECT_EQ(MissesAddress(facts, dw), c.misses);
    }
}
