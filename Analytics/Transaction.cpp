#include "Analytics/Transaction.h"

#include "Analytics/CurrencyRates.h"

#include <cmath>

namespace analytics {

Parameters Transaction::purchaseParameters() const
{
    Parameters parameters{
        {QStringLiteral("Analytics.Purchase.type"),
         subscriptionGroupID ? QStringLiteral("subscription") : QStringLiteral("one-time-purchase")},
        {QStringLiteral("Analytics.Purchase.countryCode"), storefrontCountryCode},
        {QStringLiteral("Analytics.Purchase.productID"), productID},
    };
    if (currency)
        parameters.insert(QStringLiteral("Analytics.Purchase.currencyCode"), *currency);
    return parameters;
}

double Transaction::usdPrice() const
{
    const double amount = price.value_or(0.0);
    // A price that is not a number cannot be converted; it would only be dropped on the way out.
    if (!std::isfinite(amount))
        return 0.0;
    if (currency == QStringLiteral("USD"))
        return amount;
    if (!currency)
        return 0.0;
    const auto &rates = currencyRatesToUSD();
    const auto rate = rates.find(*currency);
    // The local price is never reported as if it were dollars.
    if (rate == rates.end())
        return 0.0;
    return amount / rate->second;
}

bool Transaction::isFreeTrial() const
{
    return offer && offer->type == OfferType::introductory && offer->paymentMode == PaymentMode::freeTrial;
}

} // namespace analytics
