# bash completion for quarnet-cli                          -*- shell-script -*-

_quarnet_cli() {
  local cur prev words cword split
  _init_completion -s || return

  local commands="unpack info diff repack products"
  local command="" i
  for ((i = 1; i < cword; i++)); do
    case ${words[i]} in
      unpack | info | diff | repack | products)
        command=${words[i]}
        break
        ;;
    esac
  done

  if [[ -z $command ]]; then
    COMPREPLY=($(compgen -W "$commands --help --version" -- "$cur"))
    return
  fi

  case $command in
    repack)
      case $prev in
        --original | --output) _filedir bin; return ;;
        --config) _filedir xml; return ;;
        --config-pack | --update-script) _filedir '@(tar.gz|tgz)'; return ;;
        --update-mode) COMPREPLY=($(compgen -W "factory normal" -- "$cur")); return ;;
        --products) return ;;
      esac
      $split && return
      if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "--original --output --config --no-default --config-pack
          --update-mode --update-script --products --force --progress --help" -- "$cur"))
        [[ ${COMPREPLY-} == *= ]] && compopt -o nospace
      fi
      ;;
    unpack)
      case $prev in
        -C) _filedir -d; return ;;
      esac
      if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "-C --progress --help" -- "$cur"))
      else
        _filedir bin
      fi
      ;;
    info | diff)
      if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "--json --help" -- "$cur"))
      else
        _filedir bin
      fi
      ;;
    products)
      COMPREPLY=($(compgen -W "--help" -- "$cur"))
      ;;
  esac
} && complete -F _quarnet_cli quarnet-cli

# ex: filetype=sh
