#include "Analytics/Analytics.h"

#include "Analytics/Transaction.h"
#include "Analytics/TrialConversionTracker.h"

namespace analytics {

void Analytics::reportPurchase(const Transaction &transaction, const Parameters &parameters,
                               const std::optional<QString> &customUserID)
{
    const bool autoRenewable = transaction.productType == Transaction::ProductType::autoRenewable;
    const std::optional<Transaction::OfferType> offerType =
        autoRenewable && transaction.offer ? std::optional(transaction.offer->type) : std::nullopt;
    const bool freeTrialStart = autoRenewable && offerType == Transaction::OfferType::introductory &&
                                (!transaction.price || *transaction.price == 0.0);
    const Parameters merged = mergeParameters(parameters, transaction.purchaseParameters());
    if (freeTrialStart) {
        sendInternal(QStringLiteral("Analytics.Purchase.freeTrialStarted"), merged, std::nullopt, customUserID);
        // Handed to the tracker even when the signal itself was dropped.
        TrialConversionTracker &tracker = TrialConversionTracker::shared();
        tracker.storeTrial(TrialConversionTracker::StoredTrial{transaction.productID, transaction.originalID});
        tracker.startListening();
        return;
    }
    sendInternal(QStringLiteral("Analytics.Purchase.completed"), merged, transaction.usdPrice(), customUserID);
}

} // namespace analytics
