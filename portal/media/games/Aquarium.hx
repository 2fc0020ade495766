import flash.display.Sprite;
import flash.events.Event;
import flash.events.MouseEvent;

/** Feed the fish: click in the water to drop food and watch them come. */
class Aquarium extends Sprite {
	var fish:Array<{s:Sprite, vx:Float, vy:Float, full:Int}> = [];
	var food:Array<Sprite> = [];
	var bubbles = new Sprite();
	var weed = new Sprite();
	var frame = 0;

	public function new() {
		super();
		Kit.sky(graphics, 0x5FD0F5, 0x0B5E8E);
		graphics.beginFill(0xF2D49B);
		graphics.drawEllipse(-40, Kit.H - 40, Kit.W + 80, 90);
		graphics.endFill();
		graphics.beginFill(0xC9C9C9);
		graphics.drawEllipse(60, Kit.H - 45, 60, 30);
		graphics.drawEllipse(400, Kit.H - 50, 80, 40);
		graphics.endFill();
		addChild(weed);
		addChild(bubbles);
		for (i in 0...6) {
			var s = new Sprite();
			var colour = Kit.colours[i];
			var g = s.graphics;
			Kit.fillEach(g, colour, [
				function(g) g.drawEllipse(-26, -16, 52, 32),
				function(g) {
					g.moveTo(-20, 0);
					g.lineTo(-40, -16);
					g.lineTo(-40, 16);
				}
			]);
			g.beginFill(0xFFFFFF);
			g.drawCircle(12, -4, 6);
			g.endFill();
			g.beginFill(0x222222);
			g.drawCircle(14, -4, 3);
			g.endFill();
			s.x = 60 + Kit.rand(Kit.W - 120);
			s.y = 60 + Kit.rand(Kit.H - 150);
			addChild(s);
			fish.push({s: s, vx: (Kit.rand(2) * 2 - 1) * (1 + Math.random()), vy: 0, full: 0});
		}
		addEventListener(MouseEvent.MOUSE_DOWN, drop);
		addEventListener(Event.ENTER_FRAME, tick);
	}

	function drop(_) {
		for (i in 0...3) {
			var f = new Sprite();
			f.graphics.beginFill(0xB5651D);
			f.graphics.drawCircle(0, 0, 4);
			f.graphics.endFill();
			f.x = mouseX + (i - 1) * 12;
			f.y = Math.max(10, mouseY - 10 + i * 6);
			f.mouseEnabled = false;
			addChild(f);
			food.push(f);
		}
	}

	function tick(_) {
		frame++;
		var wg = weed.graphics;
		wg.clear();
		for (k in 0...5) {
			var bx = 30 + k * 120;
			wg.lineStyle(8, 0x2E9E4F);
			wg.moveTo(bx, Kit.H);
			var sway = Math.sin((frame + k * 30) / 25) * 18;
			wg.curveTo(bx + sway, Kit.H - 60, bx - sway / 2, Kit.H - 120);
		}
		wg.lineStyle();
		var bg = bubbles.graphics;
		bg.clear();
		bg.lineStyle(2, 0xFFFFFF, 0.7);
		for (i in 0...8) {
			var y = Kit.H - ((frame * 2 + i * 53) % Kit.H);
			bg.drawCircle(90 + i * 55 + Math.sin((frame + i * 9) / 10) * 6, y, 4 + i % 3 * 2);
		}
		for (f in food.copy()) {
			f.y += 0.8;
			if (f.y > Kit.H - 25) {
				food.remove(f);
				removeChild(f);
			}
		}
		for (f in fish) {
			var target:Sprite = null;
			var best = 1e9;
			for (p in food) {
				var d = Math.abs(p.x - f.s.x) + Math.abs(p.y - f.s.y);
				if (d < best) {
					best = d;
					target = p;
				}
			}
			if (target != null) {
				f.vx += (target.x > f.s.x ? 0.25 : -0.25);
				f.vy += (target.y > f.s.y ? 0.2 : -0.2);
				if (best < 22) {
					food.remove(target);
					removeChild(target);
					f.full = 20;
					Kit.sparkle(this, f.s.x, f.s.y, 0xFFE45C, 5);
				}
			} else {
				f.vy *= 0.9;
				if (Math.abs(f.vx) < 0.8)
					f.vx = f.vx < 0 ? -1 : 1;
			}
			f.vx = Math.max(-3.5, Math.min(3.5, f.vx));
			f.vy = Math.max(-2.5, Math.min(2.5, f.vy));
			f.s.x += f.vx;
			f.s.y += f.vy + Math.sin((frame + f.s.x) / 15) * 0.3;
			if (f.s.x < 40 || f.s.x > Kit.W - 40)
				f.vx = -f.vx;
			f.s.y = Math.max(30, Math.min(Kit.H - 60, f.s.y));
			f.s.scaleX = f.vx < 0 ? -1 : 1;
			var grow = f.full > 0 ? 1.2 : 1.0;
			if (f.full > 0)
				f.full--;
			f.s.scaleY = grow;
			f.s.scaleX *= grow;
		}
	}

	static function main() {
		Kit.start(new Aquarium());
	}
}
