#include "varfile/edit_plan.h"

#include <new>

#include "varfile/extension.h"
#include "varfile/header.h"

namespace ostrel {

namespace {

PlannedWrite write_of(std::size_t offset, std::string_view bytes) {
  PlannedWrite write;
  write.offset = static_cast<std::uint32_t>(offset);
  write.size = bytes.copy(write.bytes.data(), write.bytes.size());
  return write;
}

void add_write(PlannedTask& task, std::size_t offset, std::string_view bytes) {
  task.writes[task.write_count++] = write_of(offset, bytes);
}

// The folder, variable-name and comment tasks: the field image of the typed `value`, written at
// `offset` (and at `also_at`, unless 0), and the value as typed and cut for the task line.
template <std::size_t N>
PlannedTask text_task(TaskKind kind, std::string_view value, std::size_t offset,
                      std::size_t also_at = 0) {
  const FieldImage<N> image = make_field_image<N>(value);
  PlannedTask task;
  task.kind = kind;
  task.lacking = image.lacking;
  task.truncated = image.truncated;
  task.value = value.substr(0, image.taken);
  const std::string_view bytes(image.bytes.data(), N);
  add_write(task, offset, bytes);
  if (also_at != 0) add_write(task, also_at, bytes);
  return task;
}

}  // namespace

EditPlan plan_edit(const EditRequest& request, bool ext_checked, std::string_view head) {
  EditPlan plan;
  const FileForm form = form_of(head);
  const bool variable_fields = request.destination || request.folder || request.var_name;
  if (form == FileForm::other_kind && (variable_fields || request.comment || request.target)) {
    plan.refusal = Refusal::other_kind;
    return plan;
  }
  if (form == FileForm::group && variable_fields) {
    plan.refusal = Refusal::group_file;
    return plan;
  }
  const FieldPlaces places = field_places(form);
  const auto add = [&plan](PlannedTask task) { plan.tasks[plan.task_count++] = task; };

  if (request.destination) {
    PlannedTask task;
    const std::uint8_t code = destination_code(*request.destination).value_or(attribute_ram);
    add_write(task, places.attribute, {reinterpret_cast<const char*>(&code), 1});
    add(task);
  }
  if (request.folder && *request.folder == "-") {
    // Only the first byte of the folder (and of the folder entry's name) is zeroed: the
    // receiving unit then uses its current folder.
    PlannedTask task;
    task.kind = TaskKind::current_folder;
    add_write(task, folder_offset, {"\0", 1});
    if (places.folder_entry_name != 0) add_write(task, places.folder_entry_name, {"\0", 1});
    add(task);
  } else if (request.folder) {
    add(text_task<folder_width>(TaskKind::folder, *request.folder, folder_offset,
                                places.folder_entry_name));
  }
  if (request.var_name) {
    add(text_task<var_name_width>(TaskKind::var_name, *request.var_name, places.var_name));
  }
  if (request.comment) {
    add(text_task<comment_width>(TaskKind::comment, *request.comment, comment_offset));
  }
  if (request.target) {
    PlannedTask task;
    task.kind = TaskKind::target;
    task.value = *request.target;
    add_write(task, signature_offset, signature_for(*request.target));
    plan.resigns = head.substr(signature_offset, signature_size) != signature_for(*request.target);
    add(task);
    if (ext_checked) {
      try {
        plan.new_path = retargeted_path(request.input_path, *request.target);
      } catch (const std::bad_alloc&) {
        plan.refusal = Refusal::out_of_memory;
        return plan;
      }
      if (plan.new_path == request.input_path) plan.new_path.clear();
    }
  }
  return plan;
}

}  // namespace ostrel
