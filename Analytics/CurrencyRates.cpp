#include "Analytics/CurrencyRates.h"

namespace analytics {

const std::map<QString, double> &currencyRatesToUSD()
{
    // A fixed snapshot of mid-February 2025 (2025-02-12): pegged currencies at their pegs, the rest
    // rounded to four or five significant digits. It is never updated at run time, so a price is
    // always converted the same way.
    static const std::map<QString, double> rates = {
        {QStringLiteral("AED"), 3.6725},   {QStringLiteral("AFN"), 73.6},     {QStringLiteral("ALL"), 95.2},
        {QStringLiteral("AMD"), 397.5},    {QStringLiteral("ANG"), 1.79},     {QStringLiteral("AOA"), 918.7},
        {QStringLiteral("ARS"), 1058.5},   {QStringLiteral("AUD"), 1.5742},   {QStringLiteral("AWG"), 1.79},
        {QStringLiteral("AZN"), 1.7},      {QStringLiteral("BAM"), 1.8645},   {QStringLiteral("BBD"), 2.0},
        {QStringLiteral("BDT"), 121.6},    {QStringLiteral("BGN"), 1.8645},   {QStringLiteral("BHD"), 0.376},
        {QStringLiteral("BIF"), 2960.5},   {QStringLiteral("BMD"), 1.0},      {QStringLiteral("BND"), 1.3527},
        {QStringLiteral("BOB"), 6.91},     {QStringLiteral("BRL"), 5.78},     {QStringLiteral("BSD"), 1.0},
        {QStringLiteral("BTN"), 86.7955},  {QStringLiteral("BWP"), 13.86},    {QStringLiteral("BYN"), 3.27},
        {QStringLiteral("BZD"), 2.0},      {QStringLiteral("CAD"), 1.4182},   {QStringLiteral("CDF"), 2848.0},
        {QStringLiteral("CHF"), 0.8997},   {QStringLiteral("CLP"), 956.0},    {QStringLiteral("CNY"), 7.2626},
        {QStringLiteral("COP"), 4125.0},   {QStringLiteral("CRC"), 506.5},    {QStringLiteral("CUP"), 24.0},
        {QStringLiteral("CVE"), 105.1156}, {QStringLiteral("CZK"), 24.05},    {QStringLiteral("DJF"), 177.721},
        {QStringLiteral("DKK"), 7.1105},   {QStringLiteral("DOP"), 62.1},     {QStringLiteral("DZD"), 135.2},
        {QStringLiteral("EGP"), 50.55},    {QStringLiteral("ERN"), 15.0},     {QStringLiteral("ETB"), 126.6},
        {QStringLiteral("EUR"), 0.9533},   {QStringLiteral("FJD"), 2.31},     {QStringLiteral("FKP"), 0.7948},
        {QStringLiteral("FOK"), 7.1105},   {QStringLiteral("GBP"), 0.7948},   {QStringLiteral("GEL"), 2.82},
        {QStringLiteral("GGP"), 0.7948},   {QStringLiteral("GHS"), 15.45},    {QStringLiteral("GIP"), 0.7948},
        {QStringLiteral("GMD"), 72.5},     {QStringLiteral("GNF"), 8620.0},   {QStringLiteral("GTQ"), 7.72},
        {QStringLiteral("GYD"), 209.2},    {QStringLiteral("HKD"), 7.7837},   {QStringLiteral("HNL"), 25.55},
        {QStringLiteral("HRK"), 7.1826},   {QStringLiteral("HTG"), 131.0},    {QStringLiteral("HUF"), 386.5},
        {QStringLiteral("IDR"), 16340.0},  {QStringLiteral("ILS"), 3.56},     {QStringLiteral("IMP"), 0.7948},
        {QStringLiteral("INR"), 86.7955},  {QStringLiteral("IQD"), 1309.5},   {QStringLiteral("IRR"), 41993.216},
        {QStringLiteral("ISK"), 141.1},    {QStringLiteral("JEP"), 0.7948},   {QStringLiteral("JMD"), 157.9},
        {QStringLiteral("JOD"), 0.709},    {QStringLiteral("JPY"), 152.3479}, {QStringLiteral("KES"), 129.2},
        {QStringLiteral("KGS"), 87.45},    {QStringLiteral("KHR"), 4010.0},   {QStringLiteral("KID"), 1.5742},
        {QStringLiteral("KMF"), 468.9929}, {QStringLiteral("KRW"), 1449.0},   {QStringLiteral("KWD"), 0.3085},
        {QStringLiteral("KYD"), 0.8333},   {QStringLiteral("KZT"), 510.5},    {QStringLiteral("LAK"), 21820.0},
        {QStringLiteral("LBP"), 89500.0},  {QStringLiteral("LKR"), 297.2},    {QStringLiteral("LRD"), 198.5},
        {QStringLiteral("LSL"), 18.4466},  {QStringLiteral("LYD"), 4.91},     {QStringLiteral("MAD"), 10.01},
        {QStringLiteral("MDL"), 18.8},     {QStringLiteral("MGA"), 4705.0},   {QStringLiteral("MKD"), 58.63},
        {QStringLiteral("MMK"), 2098.0},   {QStringLiteral("MNT"), 3435.0},   {QStringLiteral("MOP"), 8.0172},
        {QStringLiteral("MRU"), 39.9},     {QStringLiteral("MUR"), 46.65},    {QStringLiteral("MVR"), 15.44},
        {QStringLiteral("MWK"), 1738.0},   {QStringLiteral("MXN"), 20.5},     {QStringLiteral("MYR"), 4.46},
        {QStringLiteral("MZN"), 63.9},     {QStringLiteral("NAD"), 18.4466},  {QStringLiteral("NGN"), 1505.0},
        {QStringLiteral("NIO"), 36.78},    {QStringLiteral("NOK"), 11.18},    {QStringLiteral("NPR"), 138.8728},
        {QStringLiteral("NZD"), 1.7648},   {QStringLiteral("OMR"), 0.3845},   {QStringLiteral("PAB"), 1.0},
        {QStringLiteral("PEN"), 3.705},    {QStringLiteral("PGK"), 4.02},     {QStringLiteral("PHP"), 58.0},
        {QStringLiteral("PKR"), 279.3},    {QStringLiteral("PLN"), 3.99},     {QStringLiteral("PYG"), 7895.0},
        {QStringLiteral("QAR"), 3.64},     {QStringLiteral("RON"), 4.7446},   {QStringLiteral("RSD"), 111.63},
        {QStringLiteral("RUB"), 96.5},     {QStringLiteral("RWF"), 1411.0},   {QStringLiteral("SAR"), 3.75},
        {QStringLiteral("SBD"), 8.5},      {QStringLiteral("SCR"), 14.45},    {QStringLiteral("SDG"), 452.0},
        {QStringLiteral("SEK"), 10.78},    {QStringLiteral("SGD"), 1.3527},   {QStringLiteral("SHP"), 0.7948},
        {QStringLiteral("SLE"), 22.75},    {QStringLiteral("SLL"), 22750.0},  {QStringLiteral("SOS"), 571.4},
        {QStringLiteral("SRD"), 35.35},    {QStringLiteral("SSP"), 4390.0},   {QStringLiteral("STN"), 23.3559},
        {QStringLiteral("SYP"), 12950.0},  {QStringLiteral("SZL"), 18.4466},  {QStringLiteral("THB"), 33.85},
        {QStringLiteral("TJS"), 10.93},    {QStringLiteral("TMT"), 3.5},      {QStringLiteral("TND"), 3.19},
        {QStringLiteral("TOP"), 2.39},     {QStringLiteral("TRY"), 36.05},    {QStringLiteral("TTD"), 6.77},
        {QStringLiteral("TVD"), 1.5742},   {QStringLiteral("TWD"), 32.85},    {QStringLiteral("TZS"), 2555.0},
        {QStringLiteral("UAH"), 41.65},    {QStringLiteral("UGX"), 3675.0},   {QStringLiteral("UYU"), 43.5},
        {QStringLiteral("UZS"), 12960.0},  {QStringLiteral("VES"), 61.0},     {QStringLiteral("VND"), 25400.2138},
        {QStringLiteral("VUV"), 122.4},    {QStringLiteral("WST"), 2.83},     {QStringLiteral("XAF"), 625.3371},
        {QStringLiteral("XCD"), 2.7},      {QStringLiteral("XDR"), 0.7655},   {QStringLiteral("XOF"), 625.3371},
        {QStringLiteral("XPF"), 113.7589}, {QStringLiteral("YER"), 248.2},    {QStringLiteral("ZAR"), 18.4466},
        {QStringLiteral("ZMW"), 28.05},    {QStringLiteral("ZWL"), 26.5},
    };
    return rates;
}

} // namespace analytics
