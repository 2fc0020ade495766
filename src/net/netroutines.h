#pragma once
// Routines of app/routines.h that need the network.
#include <QString>
#include <cstdint>

// Whether a web address answers, in two tries:
//  1. GET with a fresh answer forced (no caches), agent "InetURL:/1.0",
//     redirects not followed; an address without "://" gets "http://" in
//     front.  Status 200 or 302 counts.
//  2. Otherwise HEAD of the address as given, agent
//     "Mozilla/3.0 (compatible; Indy Library)"; any status below 400 counts.
// Each try is bounded by the HTTP time-outs of app/http.h; never throws.
bool UrlAnswers(const QString &address);

// InstallCatalogFile for a catalog on the resource site: an http(s) address
// is fetched (status 200 required), anything else is taken as a local file.
bool InstallCatalogFromAddress(const QString &source, const QString &destination,
                               std::int32_t version, QString *error = nullptr);
