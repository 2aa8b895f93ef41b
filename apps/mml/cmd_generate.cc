// mml db generate: fills a database with a synthetic product.
#include <cstring>
#include <iostream>

#include "apps/mml/mml_app.h"
#include "host/db/host_sql.h"
#include "host/generator/kel_dm_generator.h"
#include "host/kel_dm_session.h"
#include "operations/kel_lnk_site_files.h"

namespace {

struct GenerateArgs {
  KelDMGeneratorOptions options;
  std::string roots;
  bool printQuery = false;
};

void Run(const MmlGlobals& globals, const GenerateArgs& args) {
  std::string error;
  if (!KelDMGenerator::Validate(args.options, &error)) MmlFail(error, 2);
  MmlOpenSession(globals, true);
  std::vector<std::string> tables;
  if (KelDMSession::Main()->ListTables(&tables) != 0) MmlFail(KelDMSession::Main()->LastError());
  if (!tables.empty()) MmlFail("the database already holds tables: generate into an empty database");
  // Check the roots file can be written before filling the database; it
  // takes its place only once the database is filled.
  KelLnkSiteFileWriter roots;
  if (!roots.Open(args.roots))
    MmlFail("cannot write the roots file " + args.roots + ": " + std::strerror(roots.LastErrno()));
  KelDMGeneratorReport report;
  if (KelDMGenerator::Generate(KelDMSession::Main(), args.options, &report, &error) != 0)
    MmlFail("generation failed: " + AbbreviateForMessage(error));
  if (!roots.Write(KelDMGenerator::RootsFileText(report)) || !roots.Close())
    MmlFail("cannot write the roots file " + args.roots + ": " + std::strerror(roots.LastErrno()));
  std::cout << "objects\t" << report.objects << "\nmodels\t" << report.models << "\nparts\t" << report.parts
            << "\ndocuments\t" << report.documents << "\nolder_revisions\t" << report.olderRevisions << "\next_links\t"
            << report.extLinks << "\nentity_links\t" << report.entityLinks << "\nmissing_links\t" << report.missingLinks
            << "\nroot\t" << report.rootEnvironment << "\t" << report.rootTable << "\t" << report.rootCoid << "\t"
            << report.rootCompid << "\n";
  if (!report.productCoid.empty())
    std::cout << "product\t" << report.environments.front() << "\tPART_LIST\t" << report.productCoid << "\t"
              << report.productCompid << "\t" << report.psnInstances << " instances\n";
  if (args.printQuery) std::cout << "reachable_query\t" << KelDMGenerator::ReachableCountQuery(report) << "\n";
}

MmlCommand reg("db.generate", [](CLI::App& app, MmlGlobals& globals) {
  CLI::App* db = nullptr;
  for (CLI::App* sub : app.get_subcommands([](CLI::App*) { return true; }))
    if (sub->get_name() == "db") db = sub;
  if (!db) db = app.add_subcommand("db", "Database administration");
  auto args = std::make_shared<GenerateArgs>();
  CLI::App* cmd = db->add_subcommand(
      "generate",
      "Fill an empty database with a synthetic product: layered models linked through $EXT rows and entities, "
      "parts, documents, older revisions, stale links and a few missing objects. Writes a batch input file naming "
      "one root that reaches most of it. The same seed gives the same database on every engine.");
  cmd->add_option("--objects", args->options.objects, "Object rows to create, older revisions included")->required();
  cmd->add_option("--seed", args->options.seed, "Seed of the pseudo-random choices")->required();
  cmd->add_option("--roots", args->roots, "Batch input file to write (the root)")->required();
  cmd->add_option("--fanout", args->options.fanout, "Links leaving a model that is not a leaf (default 3)");
  cmd->add_option("--entity-share", args->options.entityShare, "Share of links made through entities (default 0.3)");
  cmd->add_option("--stale-share", args->options.staleShare, "Share of links out of step (default 0.1)");
  cmd->add_option("--revisions", args->options.revisionShare, "Share of models with an older revision (default 0.1)");
  cmd->add_option("--environments", args->options.environments, "Number of environments GEN1.. (default 2)");
  cmd->add_option("--missing-share", args->options.missingShare, "Share of links to missing objects (default 0.001)");
  cmd->add_flag("--print-query", args->printQuery,
                "Also print the recursive query that counts the objects reachable from the root");
  cmd->callback([&globals, args]() { Run(globals, *args); });
});

}  // namespace
