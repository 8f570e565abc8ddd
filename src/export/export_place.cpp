// The naming stage of an export job, on the caller's thread in list order:
// each prepared entry gets its name in the run and is moved into place.
//
// Files are placed relative to an open handle of the output folder, one path
// component at a time and never through a symbolic link, so no entry name
// (and no link planted inside the folder) can make a write land outside it.
#include "export/export_job_parts.h"

#include "base/platform.h"

#include <cerrno>
#include <cstring>

namespace {

std::string WithPath(const std::string &message, const std::string &path)
{
    return message + " (" + path + ")";
}

}  // namespace

ExportEntryResult ExportJob_Place(const PakEntry &entry, Prepared &p, const ExportJobOptions &options,
                                  ExportPlacer &placer)
{
    const int rootFd = placer.Root();
    ExportEntryResult r;
    auto fail = [&](const std::string &message) {
        r.outcome = ExportOutcome::Failed;
        r.message = placer.Shown(message);
        return r;
    };
    if (p.loadFailed && !p.storedCopy)
        return fail(p.loadMessage);
    if (p.filtered)
        return r;

    // A stored copy's kind is unknown: its bytes keep the entry's name.
    std::vector<std::string> components = placer.Name(entry, p.kind, p.storedCopy ? ExportForms{} : options.forms);
    r.path = Export_JoinPath(components, components.size());
    if (!p.refusal.Ok())
        return fail(WithPath(Export_Message(p.refusal), r.path));

    const std::string cannotOpen = Export_Message(ExportResult::CannotOpen);
    std::string reason;
    const int parentFd = placer.OpenParent(components, reason);
    if (parentFd < 0)
        return fail(cannotOpen + " (" + reason + ")");
    const std::string &leaf = components.back();
    const SysKind existing = Sys_KindAt(parentFd, leaf, false);
    if (existing != SysKind::Missing && existing != SysKind::Failed) {
        if (existing == SysKind::Link)
            return fail(cannotOpen + " (" + r.path + ": a symbolic link is in the way)");
        if (!options.overwrite) {
            r.outcome = ExportOutcome::Skipped;
            return r;
        }
    }
    if (p.loadFailed)
        return fail(p.loadMessage);
    if (p.tempFailed)
        return fail(cannotOpen + " (" + r.path + ": " + p.tempReason + ")");
    if (!p.written.Ok())
        return fail(WithPath(Export_Message(p.written), r.path));
    if (p.separate) {
        const ExportStatus placed = Export_PlaceGltf(*p.separate, parentFd, leaf, options.overwrite, entry.index,
                                                     [&](const std::string &name) { return placer.Claim(components, name); });
        if (!placed.Ok())
            return fail(WithPath(Export_Message(placed), r.path));
        r.bytes = p.separate->files.Bytes();
        r.outcome = ExportOutcome::Written;
        return r;
    }
    // The material library and textures before the .obj: when they fail, no
    // .obj names what is not there.
    if (p.objMtl) {
        const ExportStatus companions = Export_WriteMtlBeside(Sys_FolderPath(parentFd), p.mtl, p.pngs, options.overwrite);
        if (!companions.Ok())
            return fail(WithPath(Export_Message(companions), r.path));
    }
    if (!Base_PlaceTemp(rootFd, p.tempName, parentFd, leaf, options.overwrite)) {
        if (errno == EEXIST) {
            r.outcome = ExportOutcome::Skipped;  // made meanwhile by someone else: kept
            return r;
        }
        return fail(cannotOpen + " (" + r.path + ": " + strerror(errno) + ")");
    }
    p.tempName.clear();
    r.bytes = p.bytes;
    r.outcome = ExportOutcome::Written;
    return r;
}
