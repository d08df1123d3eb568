#pragma once

#include "Analytics/Parameters.h"

#include <QDateTime>
#include <QString>

#include <optional>

namespace analytics {

// One store transaction as the purchase signals and the trial tracker read it. This platform has
// no store of its own: whoever reports purchases fills it in.
struct Transaction
{
    enum class ProductType { consumable, nonConsumable, nonRenewable, autoRenewable };
    enum class OfferType { introductory, promotional, code, winBack };
    enum class PaymentMode { freeTrial, payAsYouGo, payUpFront };

    // The offer a subscription was bought with.
    struct Offer
    {
        OfferType type = OfferType::introductory;
        std::optional<QString> id;
        std::optional<PaymentMode> paymentMode;
    };

    QString productID;
    // The identifier of the subscription's first transaction, the same for all its renewals.
    quint64 originalID = 0;
    ProductType productType = ProductType::consumable;
    std::optional<QString> subscriptionGroupID;
    QString storefrontCountryCode;
    // ISO 4217 code, such as "EUR".
    std::optional<QString> currency;
    std::optional<double> price;
    std::optional<Offer> offer;
    std::optional<QDateTime> revocationDate;
    std::optional<QDateTime> expirationDate;
    bool isUpgraded = false;

    // "Analytics.Purchase.type", ".countryCode", ".productID" and, with a currency, ".currencyCode".
    Parameters purchaseParameters() const;
    // The price in US dollars; 0 when there is no price, no currency, or a currency without a rate.
    double usdPrice() const;
    // Whether this transaction is itself a free-trial one (introductory offer, free-trial mode).
    bool isFreeTrial() const;
};

} // namespace analytics
